// The runs into mbox and Maildir: the record stream of the mailbox feeds a sink of the
// format's own. An mbox is one file, written as the mailbox is read and named at the
// end; a Maildir's messages go through the same writer as message files do, written in
// its tmp/ and named in its cur/.
#include "mail_folder_run.h"

#include "errors.h"
#include "file_io.h"
#include "file_writer.h"
#include "header_fields.h"
#include "mail_formats.h"
#include "mailbox_format.h"
#include "message_date.h"
#include "message_reader.h"
#include "native_files.h"
#include "path_rules.h"
#include "paths.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <vector>

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

// What a run tells its host, and counts, the same way for both formats.
class Reporting {
public:
    Reporting(RunHost& host, std::uint64_t size) : m_host(host), m_progress{.bytesTotal = size == kUnknownSize ? 0 : size}
    {
    }

    // A record starts: false when the host asks to stop.
    bool starts(std::uint64_t marker)
    {
        if (m_host.cancelRequested()) {
            m_cancelled = true;
            return false;
        }
        m_marker = marker;
        m_size = 0;
        ++m_number;
        m_progress.bytesDone = marker;
        return true;
    }
    // `n` more bytes of the message: a large one lets the host show where the run is.
    void grows(std::size_t n)
    {
        const std::uint64_t before = m_size;
        m_size += n;
        if (m_size / kWritePiece != before / kWritePiece)
            m_host.writing({m_progress.filesQueued, m_progress.filesNamed, m_marker + before, m_progress.bytesTotal});
    }
    void done(std::uint64_t end, bool queued)
    {
        m_progress.bytesDone = end;
        m_progress.filesQueued += queued ? 1 : 0;
        m_host.messageDone(m_progress);
    }
    void named(std::uint64_t count, const std::string& last)
    {
        if (count == m_progress.filesNamed)
            return;
        m_progress.filesNamed = count;
        m_host.filesNamed(m_progress, last);
    }
    void planned(const std::string& fileName, bool alreadyThere)
    {
        m_host.planned({m_number, m_marker, m_size, fileName, alreadyThere});
    }

    std::uint64_t number() const { return m_number; }
    std::uint64_t marker() const { return m_marker; }
    std::uint64_t queued() const { return m_progress.filesQueued; }
    bool cancelled() const { return m_cancelled; }

private:
    RunHost& m_host;
    Progress m_progress;
    std::uint64_t m_number = 0;
    std::uint64_t m_marker = 0;
    std::uint64_t m_size = 0;
    bool m_cancelled = false;
};

// ---- mbox

class MboxSink : public RecordSink {
public:
    MboxSink(RunHost& host, const RunOptions& options, std::uint64_t size, std::string folder, std::string fileName)
        : m_report(host, size), m_options(options), m_folderPath(std::move(folder)), m_fileName(std::move(fileName))
    {
    }

    bool recordStarts(std::uint64_t marker) override
    {
        m_held.clear();
        m_streaming = false;
        if (!m_report.starts(marker))
            return false;
        open();
        return true;
    }

    void bodyBytes(std::string_view bytes) override
    {
        m_report.grows(bytes.size());
        if (m_options.dryRun)
            return;
        if (m_streaming)
            return quote(bytes);
        // The From line needs the header: held until it is complete, or as long as a
        // message is held whole (a header longer than that is what came so far).
        if (m_held.empty() && headerEnds(bytes, 0)) {
            m_out += mboxFromLine(headerOf(bytes));
            m_streaming = true;
            return quote(bytes);
        }
        const std::size_t before = m_held.size();
        m_held.append(bytes);
        if (headerEnds(m_held, before) || m_held.size() > kKeptMessage)
            stream();
    }

    void recordEnds(std::uint64_t end) override
    {
        if (m_options.dryRun) {
            m_report.planned(m_fileName, false);
        } else {
            if (!m_streaming)
                stream();
            m_quoter.finish(m_out);
            m_out += '\n';
            flushWhenFull();
        }
        m_report.done(end, true);
    }

    // The messages written so far, durable, under a name of their own; the name given.
    // An empty mailbox gives an empty mbox; a run cancelled before its first message none.
    std::string name(const std::string& baseName)
    {
        if (m_options.dryRun || (m_report.cancelled() && m_report.queued() == 0))
            return m_fileName;
        open();
        flush();
        m_folder->makeDurable(std::span<PendingFile* const>(&m_filePointer, 1), m_fileName);
        NumberingMemo memo;
        const TakenTest taken = [&](const std::string& candidate) {
            return isReservedDeviceName(candidate) || !m_folder->name(*m_file, candidate);
        };
        const ChosenName chosen = chooseFreeName(baseName, ".mbox", taken, memo, kFileNameLimit);
        m_folder->finish(*m_file, chosen.fileName);
        m_folder->makeNamesDurable();
        m_report.named(m_report.queued(), chosen.baseName);
        return chosen.fileName;
    }

    const Reporting& report() const { return m_report; }

private:
    static constexpr std::size_t kFlushAt = std::size_t{1} << 20;
    static constexpr std::size_t kDirect = std::size_t{64} << 10;

    // The folder (made when missing, if asked) and the file without a name, once there is
    // something to write: a run that fails before leaves nothing behind.
    void open()
    {
        if (m_options.dryRun || m_file)
            return;
        if (m_options.makeOutputFolder)
            makeFolder(m_folderPath);
        m_folder = std::make_unique<OutputFolder>(m_folderPath);
        std::error_code ec;
        std::optional<PendingFile> file = m_folder->createPending(ec);
        if (!file)
            fail(ec);
        m_file.emplace(std::move(*file));
        m_filePointer = &*m_file;
        m_out.reserve(2 * kFlushAt);
    }

    // The message's From line and its bytes so far; the rest follows as it comes.
    void stream()
    {
        m_out += mboxFromLine(headerOf(m_held));
        m_streaming = true;
        quote(m_held);
        m_held.clear();
    }
    // Whether the header's empty line is in `text`, looking from the line that holds
    // `from` on: line by line, so that a body is never searched.
    static bool headerEnds(std::string_view text, std::size_t from)
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
    // Small pieces are gathered into writes of kFlushAt; a large one goes from the
    // mailbox's buffer to the file as it is, with the ">"s put in where they belong.
    void quote(std::string_view bytes)
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
    void flushWhenFull()
    {
        if (m_out.size() >= kFlushAt)
            flush();
    }
    void flush()
    {
        if (m_out.empty())
            return;
        if (const std::error_code ec = m_file->write(m_out))
            fail(ec);
        m_out.clear();
    }
    [[noreturn]] void fail(std::error_code ec) const
    {
        throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", text::joinPath(m_folderPath, m_fileName), ec);
    }

    Reporting m_report;
    const RunOptions& m_options;
    const std::string m_folderPath;
    const std::string m_fileName; // the name it is to get, for words and the dry run
    std::unique_ptr<OutputFolder> m_folder;
    std::optional<PendingFile> m_file;
    PendingFile* m_filePointer = nullptr;
    MboxQuoter m_quoter;
    std::string m_held; // the start of a message, until its header is known
    std::string m_out;  // what waits to be written
    bool m_streaming = false;
};

// ---- Maildir

// A Maildir's three folders, made where missing (not in a dry run) and opened where they
// exist.
struct MaildirFolders {
    std::unique_ptr<OutputFolder> tmp, cur, fresh; // fresh: new/

    MaildirFolders(const std::string& path, bool subfolder, bool dryRun)
    {
        namespace fs = std::filesystem;
        const auto open = [&](const char* name) -> std::unique_ptr<OutputFolder> {
            const std::string sub = text::joinPath(path, name);
            if (!dryRun)
                makeFolder(sub);
            std::error_code ec;
            if (!fs::is_directory(text::pathFromUtf8(sub), ec))
                return nullptr;
            return std::make_unique<OutputFolder>(sub);
        };
        cur = open("cur");
        fresh = open("new");
        tmp = open("tmp");
        if (subfolder && !dryRun) {
            std::error_code ec;
            const fs::path marker = text::pathFromUtf8(text::joinPath(path, "maildirfolder"));
            if (!fs::exists(fs::symlink_status(marker, ec)))
                std::ofstream(marker, std::ios::app | std::ios::binary); // empty; it only marks
        }
    }
};

class MaildirSink : public RecordSink {
public:
    MaildirSink(RunHost& host, const RunOptions& options, std::uint64_t size, const std::string& path,
                bool subfolder, const ReadAt* mailbox)
        : m_report(host, size), m_options(options), m_path(path), m_subfolder(subfolder),
          m_mailbox(mailbox ? *mailbox : kNoRereading),
          m_reader(options.dates, bytesMode(options, mailbox != nullptr)), m_writer(m_mailbox),
          m_host(native::hostName()), m_pid(native::processId())
    {
    }

    bool recordStarts(std::uint64_t marker) override
    {
        m_writer.takeNamed(); // and a failure to write ends the run here
        reportNamed();
        if (!m_report.starts(marker))
            return false;
        m_reader.start(folders().tmp.get());
        return true;
    }

    void bodyBytes(std::string_view bytes) override
    {
        m_report.grows(bytes.size());
        // What waits to be written goes before a large message that streams to its file.
        if (m_reader.beginsStreaming(bytes.size()) && m_writer.holdsSmallMessages()) {
            m_writer.drain();
            reportNamed();
        }
        if (const std::error_code err = m_reader.add(bytes))
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", text::joinPath(m_folders->tmp->path(), "message"),
                                         err);
    }

    void recordEnds(std::uint64_t end) override
    {
        ReadMessage m;
        m.number = m_report.number();
        m.marker = m_report.marker();
        m.end = end;
        if (m_options.dates && !m_options.dryRun)
            if (const auto date = headerField(m_reader.headerBlock(), "Date"))
                m.modified = parseMessageDate(*date);
        m_reader.handOver(m);
        if (m_options.skipExisting)
            if (const std::optional<std::string> heldBy = alreadyThere(m)) {
                ++m_skipped;
                if (m_options.dryRun)
                    m_report.planned(*heldBy, true);
                m_report.done(end, false);
                return;
            }
        if (m_options.dryRun) {
            m_report.planned("cur/", false);
        } else {
            m_undated += m_options.dates && !m.modified ? 1 : 0;
            const std::string base = uniqueName();
            m.baseName = base;
            m_writer.add(*m_folders->tmp, std::move(m), {base, base + std::string(kMaildirSeen)}, m_folders->cur.get());
        }
        m_report.done(end, true);
    }

    // What the run has read so far, as counted before the last files are named.
    RunSummary sofar() const
    {
        return {m_report.cancelled() ? RunEnding::Cancelled : RunEnding::Completed, m_report.queued(), m_skipped};
    }

    // While a stream keeps the run waiting: the files written meanwhile are counted.
    void whileWaiting()
    {
        m_writer.takeNamed();
        reportNamed();
    }

    RunSummary finish()
    {
        m_writer.drain();
        reportNamed();
        if (!m_options.dryRun) {
            const MaildirFolders& made = folders(); // an empty mailbox: an empty Maildir
            made.cur->makeNamesDurable();
            if (made.tmp->gaveTemporaryNames())
                made.tmp->removeStaleTemporaries(made.tmp->names(), true);
        }
        const std::uint64_t files = m_options.dryRun ? m_report.queued() : m_writer.named();
        return {m_report.cancelled() ? RunEnding::Cancelled : RunEnding::Completed, files, m_skipped, m_undated};
    }

    // After a failure: what was handed to the writer is complete, and is named all the same.
    void finishQueued() noexcept
    {
        try {
            m_writer.drain();
        } catch (...) {
        }
        try {
            reportNamed();
            if (!m_options.dryRun && m_folders && m_folders->cur)
                m_folders->cur->makeNamesDurable();
        } catch (...) {
        }
    }

private:
    static MessageReader::Bytes bytesMode(const RunOptions& options, bool readAgain)
    {
        // A large message of a file is compared from the mailbox, and written only if new.
        if (options.skipExisting && readAgain)
            return MessageReader::Bytes::KeptWhenSmall;
        return options.dryRun ? MessageReader::Bytes::Dropped : MessageReader::Bytes::KeptOrWritten;
    }

    void reportNamed() { m_report.named(m_writer.named(), m_writer.lastNamed()); }

    // The Maildir's folders, made (not in a dry run) and opened when the run first needs
    // them: a run that fails before its first message leaves nothing behind.
    const MaildirFolders& folders()
    {
        if (m_folders)
            return *m_folders;
        const MaildirFolders& f = m_folders.emplace(m_path, m_subfolder, m_options.dryRun);
        if (f.tmp && !m_options.dryRun)
            f.tmp->removeStaleTemporaries(f.tmp->names(), false); // what a killed run left
        if (m_options.skipExisting)
            for (const OutputFolder* folder : {f.cur.get(), f.fresh.get()})
                if (folder)
                    for (const std::string& name : folder->names())
                        if (name.front() != '.')
                            if (const auto bytes = folder->regularFileSize(name))
                                m_existing[*bytes].push_back({folder, name});
        return f;
    }

    std::string uniqueName()
    {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
        static std::atomic<std::uint64_t> delivered{0}; // of this process, into any Maildir
        return maildirUniqueName(us / 1000000, static_cast<std::uint32_t>(us % 1000000), m_pid, ++delivered, m_host);
    }

    // The file ("cur/NAME") in the Maildir that holds the message's bytes already, if any.
    std::optional<std::string> alreadyThere(const ReadMessage& m)
    {
        const auto found = m_existing.find(m.size);
        if (found == m_existing.end())
            return std::nullopt;
        std::string buffer;
        const OutputFolder::BytesAt ours = [&](std::uint64_t offset, std::size_t n) -> std::string_view {
            if (!m.file && !m.inMailbox)
                return std::string_view(m.keptBytes).substr(static_cast<std::size_t>(offset), n);
            buffer.resize(n);
            std::size_t got = 0;
            while (got < n) {
                std::error_code ec;
                const std::size_t more =
                    m.file ? m.file->readAt(offset + got, buffer.data() + got, n - got, ec)
                           : m_mailbox(m.marker + text::kRecordHeaderSize + offset + got, buffer.data() + got, n - got);
                if (more == 0 || ec)
                    break;
                got += more;
            }
            return std::string_view(buffer.data(), got);
        };
        if (m.size > 0 && m.keptBytes.empty() && !m.file && !m.inMailbox)
            return std::nullopt; // a dry run of a stream keeps no bytes to compare
        for (const Existing& e : found->second)
            if (e.folder->holdsBytes(e.name, m.size, ours))
                return std::string(e.folder == m_folders->cur.get() ? "cur/" : "new/") + e.name;
        return std::nullopt;
    }

    struct Existing {
        const OutputFolder* folder;
        std::string name;
    };

    Reporting m_report;
    const RunOptions& m_options;
    const std::string m_path;
    const bool m_subfolder;
    std::optional<MaildirFolders> m_folders;
    const ReadAt& m_mailbox;
    std::unordered_map<std::uint64_t, std::vector<Existing>> m_existing; // by size
    // After the folders: they write into them until they are gone.
    MessageReader m_reader;
    FileWriter m_writer;
    const std::string m_host;
    const std::uint32_t m_pid;
    std::uint64_t m_skipped = 0;
    std::uint64_t m_undated = 0;

    static inline const ReadAt kNoRereading = [](std::uint64_t, char*, std::size_t) -> std::size_t {
        throw std::logic_error("a stream is read once");
    };
};

// The source's mailbox: the file, opened before anything is made (and read again from,
// where a format compares before it writes), or the stream.
class OpenedSource {
public:
    explicit OpenedSource(const MailboxSource& source) : m_stream(source.stream)
    {
        if (!m_stream)
            m_file.emplace(MailboxFile::open(source.path));
    }
    OpenedSource(const OpenedSource&) = delete;
    OpenedSource& operator=(const OpenedSource&) = delete;

    std::uint64_t size() const { return m_file ? m_file->size() : kUnknownSize; }
    const ReadAt* file() const { return m_file ? &m_read : nullptr; }
    // Streams its records through `sink`; returns its first bytes (streamMailbox).
    std::string stream(RecordSink& sink, const std::function<void()>& whileWaiting) const
    {
        return streamMailbox(file(), m_stream, size(), kReadPiece, sink, whileWaiting);
    }

private:
    const ReadNext* m_stream;
    std::optional<MailboxFile> m_file;
    const ReadAt m_read = [this](std::uint64_t offset, char* buffer, std::size_t n) {
        return m_file->readAt(offset, buffer, n);
    };
};

} // namespace

RunSummary runIntoMbox(const MailboxSource& source, const std::string& folder, const std::string& baseName,
                       RunHost& host, const RunOptions& options, std::string& fileName)
{
    if (options.skipExisting)
        throw ExtractError(ErrorKind::Settings, {},
                           "An mbox file is never added to, so messages already there cannot be skipped");
    const OpenedSource mailbox(source);
    // The name it would get now, for words and a dry run; the name it gets is chosen when
    // it is complete.
    std::error_code ec;
    std::unique_ptr<OutputFolder> existing;
    if (std::filesystem::is_directory(text::pathFromUtf8(folder), ec))
        existing = std::make_unique<OutputFolder>(folder);
    NumberingMemo memo;
    const TakenTest taken = [&](const std::string& c) {
        return isReservedDeviceName(c) || (existing && existing->holds(c));
    };
    fileName = chooseFreeName(baseName, ".mbox", taken, memo, kFileNameLimit).fileName;
    existing.reset();
    MboxSink sink(host, options, mailbox.size(), folder, fileName);
    const std::string start = mailbox.stream(sink, [] {});
    const RunSummary summary{sink.report().cancelled() ? RunEnding::Cancelled : RunEnding::Completed,
                             sink.report().queued()};
    refuseWhatIsNoMailbox(summary, start, source.path);
    fileName = sink.name(baseName);
    return summary;
}

RunSummary runIntoMaildir(const MailboxSource& source, const std::string& path, bool subfolder, RunHost& host,
                          const RunOptions& options)
{
    const OpenedSource mailbox(source);
    MaildirSink sink(host, options, mailbox.size(), path, subfolder, mailbox.file());
    RunSummary summary;
    std::string start;
    try {
        start = mailbox.stream(sink, [&] { sink.whileWaiting(); });
        refuseWhatIsNoMailbox(sink.sofar(), start, source.path);
        summary = sink.finish();
    } catch (...) {
        sink.finishQueued();
        throw;
    }
    return summary;
}

} // namespace carrowin::extract
