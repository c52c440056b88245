#pragma once
// Cutting a mailbox into records as it is read, piece by piece, with the same outcome as
// the whole-image scan (record_scan.h): a record opens with its marker, the 16 bytes of
// its header are skipped, its body runs to the next marker or the end. A marker or a
// record's header may straddle two pieces; only those few bytes are kept from one piece
// to the next.
#include <cstdint>
#include <functional>
#include <string_view>

namespace carrowin::extract {

// What the stream tells, in order, for every record.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    // A record's marker is at `marker`; `header` is the record's header, its first 16 bytes
    // with the marker (fewer only where the mailbox ends within them). Returning false
    // ends the stream before the record.
    virtual bool recordStarts(std::uint64_t marker, std::string_view header) = 0;
    // The next bytes of the body (never empty).
    virtual void bodyBytes(std::string_view bytes) = 0;
    // The body ended just before `end`: the next marker, or the end of the mailbox.
    virtual void recordEnds(std::uint64_t end) = 0;
};

// Reads up to `size` bytes at `offset` into `buffer`; returns how many (0 only at the end
// of the data). Throws on failure.
using ReadAt = std::function<std::size_t(std::uint64_t offset, char* buffer, std::size_t size)>;

// The size of data whose end is known only when it comes (a pipe).
inline constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};

// Streams `size` bytes (or up to the end, for kUnknownSize) through `read` in pieces of
// `pieceSize` (at least 1). Every read begins where the one before ended, so a stream
// that cannot seek can serve them; a read may give fewer bytes than asked.
void streamRecords(const ReadAt& read, std::uint64_t size, std::size_t pieceSize, RecordSink& sink);

} // namespace carrowin::extract
