#pragma once
// Where a run's mailbox comes from: a file, read at offsets and again where a message is
// left in it, or a stream (standard input), read once, in order and in pieces.
#include "mailbox_file.h"
#include "record_stream.h"

#include <functional>
#include <optional>
#include <string>

namespace carrowin::extract {

// Reads up to `n` bytes of a stream into `buffer`, in order: how many (fewer when fewer
// have come, 0 only at its end), or nothing when none came for a moment (a tenth of a
// second or so), so that the run names what it has written meanwhile and asks again.
// Throws ExtractError on failure.
using ReadNext = std::function<std::optional<std::size_t>(char* buffer, std::size_t n)>;

// The mailbox is read in pieces of this size: memory stays bounded however large the
// mailbox or a message is.
inline constexpr std::size_t kReadPiece = std::size_t{1} << 20;

// Thrown by OpenedMailbox::stream when asked to stop while a stream keeps it waiting.
struct ReadingStopped {};

struct MailboxSource {
    std::string path;                 // the mailbox file; for a stream, what names it in words
    const ReadNext* stream = nullptr; // the stream, when it is one
    std::size_t pieceSize = kReadPiece;
};

// A source, opened: a file is opened at once (a missing one throws ExtractError before
// anything is made), a stream is taken as it is.
class OpenedMailbox {
public:
    explicit OpenedMailbox(const MailboxSource& source);
    OpenedMailbox(const OpenedMailbox&) = delete;
    OpenedMailbox& operator=(const OpenedMailbox&) = delete;

    // The file's size; kUnknownSize for a stream.
    std::uint64_t size() const { return m_file ? m_file->size() : kUnknownSize; }
    // Whether its bytes can be read again (a file), and what reads them again, safe to call
    // from another thread; for a stream it throws std::logic_error, as nothing may ask.
    bool canReadAgain() const { return m_file.has_value(); }
    const ReadAt& readAgain() const { return m_file ? m_read : kNoRereading; }

    // Streams its records through `sink`, calling `whileWaiting` while a stream keeps it
    // waiting; when that answers false, the reading stops there, with ReadingStopped (the
    // record being read, if any, has not ended). Returns whether it began as a mailbox
    // file begins (its signature).
    bool stream(RecordSink& sink, const std::function<bool()>& whileWaiting) const;

private:
    static const ReadAt kNoRereading;

    const MailboxSource m_source;
    std::optional<MailboxFile> m_file;
    const ReadAt m_read = [this](std::uint64_t offset, char* buffer, std::size_t n) {
        return m_file->readAt(offset, buffer, n);
    };
};

} // namespace carrowin::extract
