#include "mbox_store.h"

#include "errors.h"
#include "header_fields.h"
#include "mbox_format.h"
#include "message_reader.h"
#include "output_folder.h"
#include "output_naming.h"
#include "path_rules.h"
#include "paths.h"
#include "record_text.h"

#include <filesystem>
#include <optional>

namespace carrowin::extract {
namespace {

// The mbox file as it is written: without a name, through a buffer, quoted.
class MboxFile {
public:
    // `fileName`: what the words of a failure name, the name the file is to get.
    MboxFile(const std::string& folder, bool make, std::string fileName) : m_fileName(std::move(fileName))
    {
        if (make)
            makeFolder(folder);
        m_folder = std::make_unique<OutputFolder>(folder);
        m_file.emplace(newPending());
        m_out.reserve(2 * kFlushAt);
    }

    // A message's From line, unquoted, from its header's fields.
    void fromLine(std::string_view headerFields) { m_out += mboxFromLine(headerFields); }
    // Small pieces are gathered into writes of kFlushAt; a large one goes from the
    // mailbox's buffer to the file as it is, with the ">"s put in where they belong.
    void quote(std::string_view bytes);
    // The message ends. A line end goes after it where it has none of its own, and an
    // empty line before the next From line.
    void endMessage(bool endsLine)
    {
        m_quoter.finish(m_out);
        m_out += endsLine ? "\n" : "\n\n";
        flushWhenFull();
    }
    // A file without a name beside the mbox: the mbox itself, or the start of a message
    // whose header is longer than what is held in memory; quoteFrom quotes its `size`
    // bytes into the mbox.
    PendingFile newPending();
    void hold(PendingFile& spill, std::string_view bytes)
    {
        if (const std::error_code ec = spill.write(bytes))
            fail(ec);
    }
    void quoteFrom(const PendingFile& spill, std::uint64_t size);
    // The messages written so far, durable, under a name of their own: the name given.
    ChosenName name(const std::string& baseName);
    // A message begins here; abandonMessage takes back all of it that was written.
    void beginMessage() { m_messageStart = m_written + m_out.size(); }
    void abandonMessage();

private:
    static constexpr std::size_t kFlushAt = std::size_t{1} << 20;
    static constexpr std::size_t kDirect = std::size_t{64} << 10;

    void flushWhenFull()
    {
        if (m_out.size() >= kFlushAt)
            flush();
    }
    void flush();
    [[noreturn]] void fail(std::error_code ec) const
    {
        throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", text::joinPath(m_folder->path(), m_fileName), ec);
    }

    const std::string m_fileName;
    std::unique_ptr<OutputFolder> m_folder;
    std::optional<PendingFile> m_file;
    MboxQuoter m_quoter;
    std::string m_out;             // what waits to be written
    std::uint64_t m_written = 0;   // what the file holds
    std::uint64_t m_messageStart = 0;
};

void MboxFile::quote(std::string_view bytes)
{
    if (bytes.size() < kDirect) {
        m_quoter.add(bytes, m_out);
        return flushWhenFull();
    }
    m_quoter.add(bytes, [&](std::string_view piece) {
        if (piece.size() < kDirect) { // a body of many From lines: no write for each
            m_out += piece;
            return flushWhenFull();
        }
        flush();
        if (const std::error_code ec = m_file->write(piece))
            fail(ec);
        m_written += piece.size();
    });
}

PendingFile MboxFile::newPending()
{
    std::error_code ec;
    std::optional<PendingFile> file = m_folder->createPending(ec);
    if (!file)
        fail(ec);
    return std::move(*file);
}

void MboxFile::quoteFrom(const PendingFile& spill, std::uint64_t size)
{
    std::string piece(kFlushAt, '\0');
    for (std::uint64_t done = 0; done < size;) {
        std::error_code ec;
        const std::size_t got = spill.readAt(done, piece.data(), piece.size(), ec);
        if (ec || got == 0)
            fail(ec ? ec : std::make_error_code(std::errc::io_error));
        quote(std::string_view(piece.data(), got));
        done += got;
    }
}

void MboxFile::flush()
{
    if (m_out.empty())
        return;
    if (const std::error_code ec = m_file->write(m_out))
        fail(ec);
    m_written += m_out.size();
    m_out.clear();
}

void MboxFile::abandonMessage()
{
    m_quoter = MboxQuoter();
    if (m_messageStart >= m_written) {
        m_out.resize(static_cast<std::size_t>(m_messageStart - m_written));
        return;
    }
    m_out.clear();
    if (const std::error_code ec = m_file->truncate(m_messageStart))
        fail(ec);
    m_written = m_messageStart;
}

ChosenName MboxFile::name(const std::string& baseName)
{
    flush();
    PendingFile* file = &*m_file;
    m_folder->makeDurable(std::span<PendingFile* const>(&file, 1), m_fileName);
    NumberingMemo memo;
    const TakenTest taken = [&](const std::string& candidate) {
        return isReservedDeviceName(candidate) || !m_folder->name(*m_file, candidate);
    };
    ChosenName chosen = chooseFreeName(baseName, ".mbox", taken, memo, kFileNameLimit);
    m_folder->finish(*m_file, chosen.fileName);
    m_folder->makeNamesDurable();
    return chosen;
}

// The name an mbox would get now, for words and a dry run; the name it gets is chosen
// when it is complete.
std::string nameItWouldGet(const std::string& folder, const std::string& baseName)
{
    std::error_code ec;
    std::unique_ptr<OutputFolder> existing;
    if (std::filesystem::is_directory(text::pathFromUtf8(folder), ec))
        existing = std::make_unique<OutputFolder>(folder);
    NumberingMemo memo;
    const TakenTest taken = [&](const std::string& c) {
        return isReservedDeviceName(c) || (existing && existing->holds(c));
    };
    return chooseFreeName(baseName, ".mbox", taken, memo, kFileNameLimit).fileName;
}

class MboxStore : public MessageStore {
public:
    MboxStore(const RunContext& run, std::string folder, std::string baseName)
        : m_run(run), m_folder(std::move(folder)), m_baseName(std::move(baseName)),
          m_fileName(nameItWouldGet(m_folder, m_baseName))
    {
    }

    void messageStarts(const MessageStart& start) override
    {
        m_message = {start.number, start.marker, 0, 0};
        m_text = RecordText(start.textSize);
        m_header.clear();
        m_held.clear();
        m_spill.reset();
        m_spilled = 0;
        m_endsLine = true;
        m_streaming = false;
        if (!m_run.options.dryRun)
            file().beginMessage();
    }
    void messageBytes(std::string_view bytes) override;
    void messageEnds(std::uint64_t end) override
    {
        m_message.end = end;
        if (!m_run.options.dryRun) {
            if (!m_streaming)
                stream();
            file().endMessage(m_endsLine);
        }
        ++m_messages;
        m_run.report.handedOn(m_message, m_fileName);
    }
    void messageAbandoned() override
    {
        m_spill.reset();
        if (m_file)
            m_file->abandonMessage();
    }

    void takeNamed() override {}
    // An empty mailbox gives an empty mbox; a run cancelled before its first message none.
    void finish() override
    {
        if (m_run.options.dryRun || (m_run.report.cancelled() && m_messages == 0))
            return;
        const ChosenName chosen = file().name(m_baseName);
        m_fileName = chosen.fileName;
        m_run.report.named(m_messages, chosen.baseName);
    }
    // A failure leaves no file: what it held goes with it.
    void finishQueued() noexcept override {}
    std::string fileName() const override { return m_fileName; }

private:
    // The file, made when there is something to write: a run that fails before leaves
    // nothing behind.
    MboxFile& file()
    {
        if (!m_file)
            m_file.emplace(m_folder, m_run.options.makeOutputFolder, m_fileName);
        return *m_file;
    }
    void take(std::string_view bytes);
    void hold(std::string_view bytes);
    void stream();

    const RunContext m_run;
    const std::string m_folder;
    const std::string m_baseName;
    std::string m_fileName; // the name it is to get, then the one it got
    std::optional<MboxFile> m_file;
    MessageDone m_message;
    std::uint64_t m_messages = 0; // complete, in the file
    RecordText m_text;
    // The start of a message, held until its header is known: the fields of the From
    // line, and its bytes, in memory up to kKeptMessage, beyond that in a file.
    HeaderBlock m_header{kReturnPathField, kFromField, kDateField};
    std::string m_held;
    std::optional<PendingFile> m_spill;
    std::uint64_t m_spilled = 0;
    bool m_endsLine = true; // the message's bytes so far end in a line end (or are none)
    bool m_streaming = false;
};

void MboxStore::messageBytes(std::string_view bytes)
{
    m_text.add(bytes, [this](std::string_view own) { take(own); });
}

void MboxStore::take(std::string_view bytes)
{
    m_message.size += bytes.size();
    m_endsLine = bytes.back() == '\n';
    if (m_run.options.dryRun)
        return;
    if (m_streaming)
        return file().quote(bytes);
    // The From line needs the header's fields: the message waits until its header is
    // complete (or it ends).
    m_header.add(bytes);
    if (m_header.complete() && m_held.empty() && !m_spill) {
        file().fromLine(m_header.text());
        m_streaming = true;
        return file().quote(bytes);
    }
    hold(bytes);
    if (m_header.complete())
        stream();
}

void MboxStore::hold(std::string_view bytes)
{
    if (!m_spill && m_held.size() + bytes.size() <= kKeptMessage) {
        m_held += bytes;
        return;
    }
    if (!m_spill) {
        m_spill.emplace(file().newPending());
        file().hold(*m_spill, m_held);
        m_spilled = m_held.size();
        m_held = {};
    }
    file().hold(*m_spill, bytes);
    m_spilled += bytes.size();
}

// The message's From line and its bytes so far; the rest follows as it comes.
void MboxStore::stream()
{
    file().fromLine(m_header.text());
    m_streaming = true;
    if (m_spill)
        file().quoteFrom(*m_spill, m_spilled);
    else
        file().quote(m_held);
    m_held.clear();
    m_spill.reset();
}

} // namespace

MakeStore mboxStore(const std::string& folder, const std::string& baseName)
{
    return [folder, baseName](const RunContext& run) -> std::unique_ptr<MessageStore> {
        if (run.options.skipExisting)
            throw ExtractError(ErrorKind::Settings, {},
                               "An mbox file is never added to, so messages already there cannot be skipped");
        return std::make_unique<MboxStore>(run, folder, baseName);
    };
}

} // namespace carrowin::extract
