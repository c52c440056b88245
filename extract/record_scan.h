#pragma once
// Cutting a mailbox image into message records. A record opens with the marker
// 00 7F 00 7F; its first 16 bytes are its header and the rest, up to the next
// marker (or the end of the image), is the message body.
#include <cstdint>
#include <optional>
#include <string_view>

namespace carrowin::extract {

inline constexpr std::string_view kRecordMarker{"\x00\x7F\x00\x7F", 4};
inline constexpr std::uint64_t kRecordHeaderSize = 16;
inline constexpr std::string_view kFileSignature{"JMF6"};

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

// A mailbox starts with "JMF6"; a file without it that still holds records is accepted.
bool looksLikeMailbox(std::string_view image);

} // namespace carrowin::extract
