#pragma once
// The whole-image scan: a mailbox held in memory cut into its records. The run reads a
// mailbox in pieces (record_stream.h); this is the plain form of the same rule, against
// which the tests and the fuzz target check the streaming one.
#include "mailbox_format.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace carrowin::extract {

struct RecordBounds {
    std::uint64_t marker = 0;    // offset of the record's marker
    std::uint64_t bodyBegin = 0; // marker + 16, or the image end for a cut-off header
    std::uint64_t bodyEnd = 0;   // offset of the next marker, or the image end
};

// Offset of the first marker at or after `from`, if any.
std::optional<std::uint64_t> findMarker(std::string_view image, std::uint64_t from);

// The first record whose marker lies at or after `from`. The next marker is looked for
// only past the record's own header, so a marker-like byte run inside the header (a
// message number such as 0x7F00) never splits a record. Pass `bodyEnd` of the result as
// the next `from`; the scan always moves forward.
std::optional<RecordBounds> nextRecord(std::string_view image, std::uint64_t from);

inline std::string_view bodyOf(std::string_view image, const RecordBounds& r)
{
    return image.substr(r.bodyBegin, r.bodyEnd - r.bodyBegin);
}

} // namespace carrowin::extract
