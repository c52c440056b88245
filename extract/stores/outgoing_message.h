#pragma once
// A message on its way to a server, as the run reads its own bytes: kept in memory up to
// kKeptMessage; a larger one read again from the mailbox when it is sent, or, from a
// stream, kept meanwhile in a file without a name in the system's temporary folder.
// What the upload needs to know of it comes as it goes by: its size, its size with
// every line ending in CR LF (as servers keep a message), whether it holds a NUL, and
// its Date field.
#include "header_fields.h"
#include "message_reader.h"
#include "output_folder.h"
#include "record_stream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

class OutgoingMessage {
public:
    // `mailbox`: where a large message is read again, unless `canReadAgain` is false.
    OutgoingMessage(const ReadAt& mailbox, bool canReadAgain) : m_mailbox(mailbox), m_canReadAgain(canReadAgain) {}

    // A message whose record starts at `marker` begins.
    void start(std::uint64_t marker);
    // Its next bytes. A failure to keep them (the temporary file) throws ExtractError.
    void add(std::string_view bytes);
    void drop();

    std::uint64_t marker() const { return m_marker; }
    std::uint64_t size() const { return m_size; }
    // Its size once every LF without a CR before it has one.
    std::uint64_t sizeInCrlf() const { return m_size + m_bareLineFeeds; }
    bool holdsNul() const { return m_nul; }
    // The time its Date field gives, when it can be read.
    std::optional<std::int64_t> date() const;

    // How its bytes are read: as they are, or as a server may give them back, with a CR
    // put before every LF that has none, a NUL as 0x80 (which some servers put there,
    // since IMAP does not carry a NUL).
    struct Form {
        bool crlf = false;
        bool nulAs80 = false;
    };
    // Its bytes in order, in pieces of at most 1 MiB, to `take` until it returns false.
    // Throws ExtractError when they cannot be read again.
    void read(Form form, const std::function<bool(std::string_view)>& take) const;

private:
    void readRaw(const std::function<bool(std::string_view)>& take) const;

    const ReadAt& m_mailbox;
    const bool m_canReadAgain;
    std::uint64_t m_marker = 0;
    std::uint64_t m_size = 0;
    std::uint64_t m_bareLineFeeds = 0;
    bool m_nul = false;
    bool m_afterCr = false;
    HeaderBlock m_header{kDateField};
    std::string m_kept;
    bool m_inMailbox = false;
    std::unique_ptr<OutputFolder> m_temporaryFolder;
    std::optional<PendingFile> m_spill;
};

} // namespace carrowin::extract
