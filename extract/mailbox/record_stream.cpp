#include "record_stream.h"

#include "mailbox_format.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace carrowin::extract {
namespace {

constexpr std::size_t kCarry = kRecordMarker.size() - 1; // a marker's start may wait for its end

} // namespace

void streamRecords(const ReadAt& read, std::uint64_t size, std::size_t pieceSize, RecordSink& sink)
{
    // Room for a piece and for what waits of the one before: a header's first 15 bytes.
    std::vector<char> buffer(pieceSize + kRecordHeaderSize - 1);
    std::uint64_t base = 0;       // where buffer[0] lies in the mailbox
    std::size_t held = 0;         // bytes in the buffer
    std::uint64_t searchFrom = 0; // markers start here or later
    std::uint64_t emitted = 0;    // the current record's body has been given out up to here
    bool inRecord = false;
    while (base + held < size) {
        const std::size_t n = read(base + held, buffer.data() + held,
                                   static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, size - base - held)));
        held += n;
        const bool atEnd = n == 0 || base + held == size;
        const std::string_view bytes(buffer.data(), held);
        // Bytes that could begin a marker ending in the next piece are not settled yet,
        // nor is a marker whose header goes on in the next piece.
        std::uint64_t settled = atEnd ? base + held : base + held - std::min(held, kCarry);
        for (;;) {
            const auto m = findRecordMarker(bytes, static_cast<std::size_t>(std::max(searchFrom, base) - base));
            const std::uint64_t until = m ? base + *m : settled;
            if (inRecord && until > emitted) {
                sink.bodyBytes(bytes.substr(static_cast<std::size_t>(emitted - base), static_cast<std::size_t>(until - emitted)));
                emitted = until;
            }
            if (!m)
                break;
            if (inRecord)
                sink.recordEnds(base + *m);
            inRecord = false;
            if (!atEnd && *m + kRecordHeaderSize > held) {
                settled = searchFrom = base + *m; // its header: when the next piece has come
                break;
            }
            if (!sink.recordStarts(base + *m, bytes.substr(*m, kRecordHeaderSize)))
                return;
            inRecord = true;
            // The header is skipped, and no marker inside it opens a record.
            emitted = searchFrom = base + std::min<std::uint64_t>(*m + kRecordHeaderSize, held);
        }
        searchFrom = std::max(searchFrom, settled);
        if (atEnd)
            break;
        const std::size_t keep = static_cast<std::size_t>(base + held - settled);
        std::memmove(buffer.data(), buffer.data() + (held - keep), keep);
        base = settled;
        held = keep;
    }
    if (inRecord)
        sink.recordEnds(base + held);
}

} // namespace carrowin::extract
