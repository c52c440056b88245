#pragma once
// A message as the run reads it: its body comes piece by piece while the mailbox is read;
// what its name needs is gathered as it goes by, and its bytes are kept whole when small
// or written, as they come, to a file without a name when large.
#include "output_folder.h"
#include "header_fields.h"
#include "naming_excerpt.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace carrowin::extract {

// A message up to this size is kept whole and handed on to be written; a larger one is
// written as it streams by.
inline constexpr std::size_t kKeptMessage = std::size_t{1} << 20;

// A message read to its end, on its way to a name.
struct ReadMessage {
    std::uint64_t number = 0; // in the mailbox, from 1
    std::uint64_t marker = 0; // where its record starts in the mailbox
    std::uint64_t size = 0;   // of its bytes (its body, or the text without its padding)
    std::uint64_t padding = 0; // zeros of the body after them, left out
    std::uint64_t end = 0;    // where its body ends in the mailbox
    bool bySubject = true;    // the naming mode it was read under
    std::string baseName;     // before numbering
    std::string extension;
    std::optional<std::int64_t> modified; // from its Date field, when asked for and readable
    std::string keptBytes;                // a small message's bytes...
    std::optional<PendingFile> file;      // ...or the file a large one went to...
    bool inMailbox = false;               // ...or neither: they are read again from the mailbox
};

class MessageReader {
public:
    // What becomes of a message's bytes: nothing (a dry run); a small message's kept, a
    // large one's left in the mailbox, to be read again only if it must be written
    // (skipExisting: it may be there already, and is then never written at all); or a
    // small message's kept and a large one's written as it streams by.
    enum class Bytes { Dropped, KeptWhenSmall, KeptOrWritten };

    // `header`: gather the header block too (for dates and decoded subjects).
    MessageReader(bool header, Bytes bytes) : m_header(header), m_bytes(bytes) {}

    // A new body begins; a large one is written to a new file in `folder`.
    void start(const OutputFolder* folder);
    // Whether `n` more bytes make the message one that is written as it streams by: then
    // what waits to be written before it should be on its way.
    bool beginsStreaming(std::size_t n) const;
    // The next bytes of the body. A failure to create or write the file is the system's
    // error, for the caller to put into words (it knows the name the message would get).
    std::error_code add(std::string_view bytes);

    std::uint64_t size() const { return m_size; }
    const NamingExcerpt& excerpt() const { return m_excerpt; }
    std::string_view headerBlock() const { return m_headerBlock.text(); }
    // The message's bytes, for a ReadMessage; the reader is then ready for the next one.
    void handOver(ReadMessage& message);
    // Drops what it holds of the message: its bytes, or its file without a name.
    void abandon();

private:
    const bool m_header;
    const Bytes m_bytes;
    const OutputFolder* m_folder = nullptr;
    NamingExcerpt m_excerpt;
    HeaderBlock m_headerBlock;
    std::uint64_t m_size = 0;
    std::string m_kept;
    std::optional<PendingFile> m_file;
    bool m_inMailbox = false;
};

} // namespace carrowin::extract
