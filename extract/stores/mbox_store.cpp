#include "mbox_store.h"

#include "errors.h"
#include "mail_formats.h"
#include "message_reader.h"
#include "output_folder.h"
#include "output_naming.h"
#include "path_rules.h"
#include "paths.h"

#include <filesystem>
#include <optional>

namespace carrowin::extract {
namespace {

// The header block of a message's first bytes: up to its first empty line, or all of
// them when none has come.
std::string_view headerOf(std::string_view message)
{
    for (std::size_t at = 0; at < message.size();) {
        const std::size_t lf = message.find('\n', at);
        if (lf == std::string_view::npos)
            break;
        const std::string_view line = message.substr(at, lf - at);
        if (line.empty() || line == "\r")
            return message.substr(0, at);
        at = lf + 1;
    }
    return message;
}

// Whether the header's empty line is in `text`, looking from the line that holds `from`
// on: line by line, so that a body is never searched.
bool headerEnds(std::string_view text, std::size_t from)
{
    const std::size_t lf = from == 0 ? std::string_view::npos : text.rfind('\n', from - 1);
    for (std::size_t at = lf == std::string_view::npos ? 0 : lf + 1; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            return false;
        if (end == at || (end == at + 1 && text[at] == '\r'))
            return true;
        at = end + 1;
    }
    return false;
}

// The mbox file as it is written: without a name, through a buffer, quoted.
class MboxFile {
public:
    // `fileName`: what the words of a failure name, the name the file is to get.
    MboxFile(const std::string& folder, bool make, std::string fileName) : m_fileName(std::move(fileName))
    {
        if (make)
            makeFolder(folder);
        m_folder = std::make_unique<OutputFolder>(folder);
        std::error_code ec;
        std::optional<PendingFile> file = m_folder->createPending(ec);
        if (!file)
            fail(ec);
        m_file.emplace(std::move(*file));
        m_out.reserve(2 * kFlushAt);
    }

    // A message's From line, unquoted.
    void fromLine(std::string_view headerBlock) { m_out += mboxFromLine(headerBlock); }
    // Small pieces are gathered into writes of kFlushAt; a large one goes from the
    // mailbox's buffer to the file as it is, with the ">"s put in where they belong.
    void quote(std::string_view bytes);
    // The message ends: the next one starts on a line of its own.
    void endMessage()
    {
        m_quoter.finish(m_out);
        m_out += '\n';
        flushWhenFull();
    }
    // The messages written so far, durable, under a name of their own: the name given.
    ChosenName name(const std::string& baseName);

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
    std::string m_out; // what waits to be written
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
    });
}

void MboxFile::flush()
{
    if (m_out.empty())
        return;
    if (const std::error_code ec = m_file->write(m_out))
        fail(ec);
    m_out.clear();
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
        m_held.clear();
        m_streaming = false;
        if (!m_run.options.dryRun)
            file();
    }
    void messageBytes(std::string_view bytes) override;
    void messageEnds(std::uint64_t end) override
    {
        m_message.end = end;
        if (!m_run.options.dryRun) {
            if (!m_streaming)
                stream();
            m_file->endMessage();
        }
        m_run.report.handedOn(m_message, m_fileName);
    }

    void takeNamed() override {}
    // An empty mailbox gives an empty mbox; a run cancelled before its first message none.
    void finish() override
    {
        if (m_run.options.dryRun || (m_run.report.cancelled() && m_message.number == 0))
            return;
        const ChosenName chosen = file().name(m_baseName);
        m_fileName = chosen.fileName;
        m_run.report.named(m_message.number, chosen.baseName);
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
    // The message's From line and its bytes so far; the rest follows as it comes.
    void stream()
    {
        m_file->fromLine(headerOf(m_held));
        m_streaming = true;
        m_file->quote(m_held);
        m_held.clear();
    }

    const RunContext m_run;
    const std::string m_folder;
    const std::string m_baseName;
    std::string m_fileName; // the name it is to get, then the one it got
    std::optional<MboxFile> m_file;
    MessageDone m_message;
    std::string m_held; // the start of a message, until its header is known
    bool m_streaming = false;
};

void MboxStore::messageBytes(std::string_view bytes)
{
    m_message.size += bytes.size();
    if (m_run.options.dryRun)
        return;
    if (m_streaming)
        return m_file->quote(bytes);
    // The From line needs the header: held until it is complete, or as long as a message
    // is held whole (a header longer than that is what came so far).
    if (m_held.empty() && headerEnds(bytes, 0)) {
        m_file->fromLine(headerOf(bytes));
        m_streaming = true;
        return m_file->quote(bytes);
    }
    const std::size_t before = m_held.size();
    m_held.append(bytes);
    if (headerEnds(m_held, before) || m_held.size() > kKeptMessage)
        stream();
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
