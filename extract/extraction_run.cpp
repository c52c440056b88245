#include "extraction_run.h"

#include "errors.h"
#include "existing_files.h"
#include "file_io.h"
#include "header_fields.h"
#include "message_date.h"
#include "naming_excerpt.h"
#include "path_rules.h"
#include "publisher.h"
#include "record_scan.h"
#include "record_stream.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <atomic>
#include <mutex>
#include <thread>
#include <memory>
#include <optional>
#include <unordered_set>

namespace carrowin::extract {
namespace {

// A message up to this size is kept whole and handed to the publisher to write.
constexpr std::size_t kKeptMessage = std::size_t{1} << 20;

// A thread that works through a queue of jobs in order, beside the thread that queues
// them; it sleeps only when the queue is empty, and wakes the other only when the job
// that one waits for is done. Destroyed, it finishes the jobs it has taken from the
// queue and drops the others.
template <typename Job>
class JobThread {
public:
    explicit JobThread(std::function<void(Job&)> work) : m_work(std::move(work)) {}
    ~JobThread()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    void add(Job& job)
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(&job);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
        // Woken for a few jobs at a time: waking it for every one costs more than the job.
        if (m_sleeping && m_queue.size() >= kWakeBatch)
            m_wake.notify_all();
    }
    bool done(const Job& job) const { return job.done.load(); }
    void wait(const Job& job)
    {
        if (done(job))
            return;
        std::unique_lock lock(m_mutex);
        if (m_sleeping)
            m_wake.notify_all();
        m_awaited = &job;
        m_finished.wait(lock, [&] { return done(job); });
        m_awaited = nullptr;
    }

private:
    void loop()
    {
        std::deque<Job*> jobs;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_sleeping = true;
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            m_sleeping = false;
            if (m_stop)
                return;
            jobs.swap(m_queue); // all of them, so that the queue's lock is taken once for them
            lock.unlock();
            for (Job* job : jobs) {
                m_work(*job);
                job->done.store(true);
                if (m_awaited.load() == job) {
                    std::lock_guard woken(m_mutex);
                    m_finished.notify_all();
                }
            }
            jobs.clear();
            lock.lock();
            if (m_stop)
                return;
        }
    }

    static constexpr std::size_t kWakeBatch = 16;
    std::function<void(Job&)> m_work;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    std::deque<Job*> m_queue;
    bool m_sleeping = false;
    std::atomic<const Job*> m_awaited = nullptr; // the job the other thread waits for
    bool m_stop = false;
    std::thread m_thread;
};

// Everything one run keeps between records, and the record being written: its body goes
// to a file without a name as it streams by; at the record's end its name is chosen, and
// the publisher gives it that name.
class RecordWriter : public RecordSink {
public:
    RecordWriter(RunHost& host, std::uint64_t mailboxSize, const RunOptions& options, const ReadAt& mailbox)
        : m_host(host), m_options(options), m_mailbox(mailbox), m_memo(fileNameKey), m_progress{0, 0, mailboxSize}
    {
    }

    std::uint64_t filesWritten() const { return m_progress.filesWritten; }
    std::uint64_t skipped() const { return m_skipped; }
    std::uint64_t undated() const { return m_undated; }
    bool cancelled() const { return m_cancelled; }

    bool recordStarts(std::uint64_t marker) override
    {
        m_publisher.check();
        if (m_host.cancelRequested()) {
            m_cancelled = true;
            return false;
        }
        m_settings = m_host.currentSettings();
        if (const std::string why = settingsRefusal(m_settings); !why.empty())
            throw ExtractError(ErrorKind::Settings, {}, why);
        if (!endsWithSeparator(m_settings.outputFolder))
            m_settings.outputFolder += kPathSeparator;
        m_folder = folderFor(m_settings.outputFolder);
        m_excerpt.clear();
        m_header.clear();
        m_bodyBytes = 0;
        m_marker = marker;
        ++m_number;
        m_progress.bytesDone = marker;
        return true;
    }

    // A small message is kept for the publisher to write; a large one is written here as
    // it streams by, to a file without a name.
    void bodyBytes(std::string_view bytes) override
    {
        // A large message lets the host show where the run is, every piece of kWritePiece.
        if ((m_bodyBytes + bytes.size()) / kWritePiece != m_bodyBytes / kWritePiece)
            m_host.writing({m_progress.filesWritten, m_progress.bytesDone + m_bodyBytes, m_progress.bytesTotal});
        m_excerpt.add(bytes);
        if (m_options.dates || m_options.decodeSubjects)
            m_header.add(bytes);
        m_bodyBytes += bytes.size();
        if (m_options.dryRun)
            return; // named from the excerpt; compared, if asked, with the mailbox itself
        if (!m_file && m_bytes.size() + bytes.size() <= kKeptMessage) {
            m_bytes += bytes;
            return;
        }
        if (!m_file) {
            m_publisher.flush(); // the small ones before it do not wait for it
            m_file.emplace(m_folder->createPending());
            write(std::exchange(m_bytes, {}));
        }
        write(bytes);
    }

    // The name is chosen now that the message is complete, from the names the folder held
    // when the run came to it and those the run gave. The publisher claims it, never
    // replacing anything: the file named is always the one just written.
    void recordEnds(std::uint64_t end) override
    {
        Ended& r = m_ended.emplace_back();
        r.bySubject = m_settings.bySubject;
        r.folder = m_folder;
        if (m_file) {
            r.file.emplace(std::move(*m_file));
            m_file.reset();
        }
        r.bytes = std::exchange(m_bytes, {});
        r.base = baseName();
        r.ext = m_excerpt.extension();
        r.number = m_number;
        r.marker = m_marker;
        r.size = m_bodyBytes;
        r.end = end;
        if (m_options.dates && !m_options.dryRun) {
            if (const auto date = headerField(m_header.text(), "Date"))
                r.modified = parseMessageDate(*date);
        }
        m_endedBytes += r.bytes.size();
        if (!m_options.skipExisting) {
            nameEnded();
            return;
        }
        // Which files may hold it is looked up here; reading them is the comparer's work,
        // done beside the reading of the next messages.
        if (m_outputFolder)
            r.candidates = m_existing.sameNamed(r.base, r.ext, r.size);
        if (!r.candidates.empty()) {
            r.compared = true;
            m_comparer.add(r);
        }
        // In prefix mode the next name depends on whether this message is there already.
        if (!r.bySubject) {
            nameEnded();
            return;
        }
        if (m_ended.size() > kMaxEnded || m_endedBytes > kMaxEndedBytes) {
            // Too many wait: until half of them are compared, the reading waits. The
            // comparer stays busy, and is not asked to wake this thread for every one.
            for (std::size_t i = m_ended.size() / 2 + 1; i-- > 0;)
                if (m_ended[i].compared) {
                    m_comparer.wait(m_ended[i]);
                    break;
                }
        }
        nameEndedReady();
    }

    // Waits until every file written is published; throws the first failure to publish.
    void finish()
    {
        nameEnded();
        m_publisher.drain();
    }

private:
    // A message read to its end, waiting to be named (with skipExisting, until it is known
    // whether a file holds it already).
    struct Ended {
        bool bySubject = true;
        // Its output folder is the run's current one: a change of folder names every
        // message waiting first.
        const OutputFolder* folder = nullptr;
        std::optional<PendingFile> file;
        std::string bytes;
        std::string base;
        std::string ext;
        std::uint64_t number = 0;
        std::uint64_t marker = 0;
        std::uint64_t size = 0;
        std::uint64_t end = 0;
        std::optional<std::int64_t> modified;
        bool compared = false;             // with the files already there (skipExisting)
        std::atomic<bool> done = false;    // the comparer is through with it
        std::vector<std::string> candidates; // files that may hold it already
        std::optional<std::string> same;     // the file that holds it already
    };
    static constexpr std::size_t kMaxEnded = 64;
    static constexpr std::size_t kMaxEndedBytes = std::size_t{8} << 20;

    // Names the messages waiting, in order: every one of them, or only those whose
    // comparison is done.
    void nameEnded() { nameEndedWhile(false); }
    void nameEndedReady() { nameEndedWhile(true); }
    void nameEndedWhile(bool onlyReady)
    {
        while (!m_ended.empty() && !(onlyReady && m_ended.front().compared && !m_comparer.done(m_ended.front())))
            nameFirst();
    }
    void nameFirst()
    {
        Ended& r = m_ended.front();
        if (r.compared)
            m_comparer.wait(r);
        m_endedBytes -= r.bytes.size();
        nameOne(r);
        m_ended.pop_front();
    }

    void nameOne(Ended& r)
    {
        m_progress.bytesDone = r.end;
        const std::optional<std::string>& same = r.same;
        if (same) {
            // The working name goes on from the file found, as if this run had made it.
            m_host.nameChosen(same->substr(0, same->size() - r.ext.size()), *m_folderPath);
            if (m_options.dryRun)
                m_host.planned({r.number, r.marker, r.size, *same, true});
            r.file.reset(); // the copy goes, unnamed
            ++m_skipped;
            m_host.fileWritten(m_progress);
            return;
        }
        const TakenTest taken = [&](const std::string& name) {
            return isReservedDeviceName(name) || m_knownTaken.contains(fileNameKey(name));
        };
        ChosenName chosen = chooseFreeName(r.base, r.ext, taken, m_memo, kFileNameLimit);
        m_knownTaken.insert(fileNameKey(chosen.fileName));
        m_host.nameChosen(chosen.baseName, *m_folderPath);
        if (m_options.dryRun) {
            m_host.planned({r.number, r.marker, r.size, chosen.fileName, false});
        } else {
            m_undated += m_options.dates && !r.modified ? 1 : 0;
            m_publisher.publish(*r.folder, std::move(r.file), std::move(r.bytes), std::move(chosen), kFileNameLimit,
                                r.modified);
        }
        ++m_progress.filesWritten;
        m_host.fileWritten(m_progress);
    }

    // The output folder, opened when the run comes to it (none in a dry run when it does
    // not exist yet: it would be made, empty).
    const OutputFolder* folderFor(const std::string& path)
    {
        if (m_folderPath && *m_folderPath == path)
            return m_outputFolder.get();
        nameEnded();
        m_publisher.drain(); // the files for the last folder are named first
        m_outputFolder.reset();
        m_folderPath = path;
        std::error_code ec;
        if (!m_options.dryRun || std::filesystem::exists(fsPath(path), ec))
            m_outputFolder = std::make_unique<OutputFolder>(path);
        const std::vector<std::string> names = m_outputFolder ? m_outputFolder->names() : std::vector<std::string>{};
        // What this run knows about taken names holds for one folder only.
        m_knownTaken.clear();
        for (const std::string& name : names)
            m_knownTaken.insert(fileNameKey(name));
        if (m_options.skipExisting) {
            const OutputFolder* folder = m_outputFolder.get();
            m_existing = ExistingFiles(names, [folder](const std::string& name) { return folder->regularFileSize(name); });
        }
        m_memo = NumberingMemo{fileNameKey};
        return m_outputFolder.get();
    }

    static std::filesystem::path fsPath(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

    // A file that was in the output folder before the run, under the name this message gets
    // or a numbered form of it, and holds exactly its bytes. Sizes are compared first; only
    // a file of the same size is read. Runs on the comparer's thread, one at a time; a
    // failure to read means the message is written.
    std::optional<std::string> fileHolding(const Ended& r) noexcept
    {
        try {
            const bool kept = !r.file && !m_options.dryRun; // a small message is at hand
            const OutputFolder::BytesAt ours = [&](std::uint64_t offset, std::size_t n) {
                if (kept)
                    return std::string_view(r.bytes).substr(static_cast<std::size_t>(offset), n);
                m_compareBuffer.resize(n);
                for (std::size_t got = 0; got < n;)
                    got += m_mailbox(r.marker + kRecordHeaderSize + offset + got, m_compareBuffer.data() + got, n - got);
                return std::string_view(m_compareBuffer);
            };
            for (const std::string& name : r.candidates)
                if (m_outputFolder->holdsBytes(name, r.size, ours))
                    return name;
        } catch (...) {
        }
        return std::nullopt;
    }

    void write(std::string_view bytes)
    {
        if (const std::error_code err = m_file->writeAll(bytes))
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", joinPath(m_folder->path(), nameItWouldGet()),
                                         err);
    }

    // The name a message that could not be written would have got, for the words about it.
    std::string nameItWouldGet()
    {
        NumberingMemo scratch{fileNameKey};
        const TakenTest taken = [&](const std::string& name) {
            return m_knownTaken.contains(fileNameKey(name)) || isReservedDeviceName(name) || m_folder->holds(name);
        };
        return chooseFreeName(baseName(), m_excerpt.extension(), taken, scratch, kFileNameLimit).fileName;
    }

    // The record's name before numbering.
    std::string baseName() const
    {
        return m_options.decodeSubjects && m_settings.bySubject
                   ? finishBaseName(decodedSubjectText(m_header.text(), m_settings.removeRe))
                   : baseNameFor(m_excerpt.subjectBody(), m_settings);
    }

    RunHost& m_host;
    const RunOptions& m_options;
    const ReadAt& m_mailbox;
    NumberingMemo m_memo;
    std::unordered_set<std::string> m_knownTaken; // by fileNameKey
    std::optional<std::string> m_folderPath;
    std::unique_ptr<OutputFolder> m_outputFolder;
    ExistingFiles m_existing; // what the folder held when the run came to it (skipExisting)
    std::string m_compareBuffer; // the mailbox's bytes of a message not kept
    Publisher m_publisher; // after the folder: it publishes into it until it is gone
    Progress m_progress;
    bool m_cancelled = false;
    std::uint64_t m_skipped = 0;
    std::uint64_t m_undated = 0;
    std::uint64_t m_number = 0; // of the record being written, from 1
    // The record being written.
    NamingSettings m_settings;
    const OutputFolder* m_folder = nullptr;
    std::optional<PendingFile> m_file; // a large message, written as it comes
    std::string m_bytes;               // a small message, kept whole
    NamingExcerpt m_excerpt;
    HeaderBlock m_header; // only with dates or decoded subjects
    std::uint64_t m_marker = 0;
    std::uint64_t m_bodyBytes = 0;
    // Read to their end, waiting to be named; then the thread that compares them with the
    // files already there. Last: the thread ends first, then what it looked at goes.
    std::deque<Ended> m_ended;
    std::size_t m_endedBytes = 0;
    JobThread<Ended> m_comparer{[this](Ended& r) { r.same = fileHolding(r); }};
};

} // namespace

std::string mailboxPath(std::string_view inputFolder, std::string_view mailboxName)
{
    if (inputFolder.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No input folder is given. Type or choose the folder that holds the mailbox.");
    if (mailboxName.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No mailbox is chosen. Choose the mailbox file to extract.");
    return joinPath(inputFolder, mailboxName);
}

namespace {

RunSummary runOver(const ReadAt& readAt, std::uint64_t size, const std::string& label, RunHost& host,
                   const RunOptions& options, std::size_t pieceSize)
{
    bool signature = false;
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        const std::size_t got = readAt(offset, buffer, n);
        if (offset == 0)
            signature = std::string_view(buffer, got).starts_with(kFileSignature);
        return got;
    };
    RecordWriter writer(host, size, options, readAt);
    streamRecords(read, size, pieceSize, writer);
    writer.finish();
    const std::uint64_t records = writer.filesWritten() + writer.skipped();
    if (records == 0 && !writer.cancelled() && !signature)
        throw ExtractError(ErrorKind::Mailbox, label,
                           "\"" + label + "\" is not an OE4 mailbox: it has neither the \"JMF6\" header nor any message record");
    return {writer.cancelled() ? RunEnding::Cancelled : RunEnding::Completed, writer.filesWritten(), writer.skipped(),
            writer.undated()};
}

} // namespace

RunSummary runExtraction(const std::string& path, RunHost& host, std::size_t pieceSize)
{
    return runExtraction(path, host, RunOptions{}, pieceSize);
}

RunSummary runExtraction(const std::string& path, RunHost& host, const RunOptions& options, std::size_t pieceSize)
{
    const MailboxFile mailbox = MailboxFile::open(path);
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        return mailbox.readAt(offset, buffer, n);
    };
    return runOver(read, mailbox.size(), path, host, options, pieceSize);
}

RunSummary runExtractionOfImage(std::string_view image, const std::string& label, RunHost& host,
                                const RunOptions& options, std::size_t pieceSize)
{
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        const std::string_view piece = image.substr(static_cast<std::size_t>(offset), n);
        std::copy(piece.begin(), piece.end(), buffer);
        return piece.size();
    };
    return runOver(read, image.size(), label, host, options, pieceSize);
}

} // namespace carrowin::extract
