#include "publisher.h"

#include "errors.h"
#include "path_rules.h"

#include <chrono>

namespace carrowin::extract {
namespace {

// What the run may be ahead of the thread: queued messages (each may hold an open file)
// and their bytes. The thread is woken for a batch at a time: waking it for every small
// message would cost the run more than writing it.
constexpr std::size_t kMaxQueued = 256;
constexpr std::size_t kMaxQueuedBytes = std::size_t{8} << 20;
constexpr std::size_t kBatch = 32;
// Nor does a message wait long in memory: what a killed run had not yet written is lost.
constexpr auto kMaxDelay = std::chrono::milliseconds(20);

} // namespace

Publisher::Publisher() : m_thread([this] { run(); }) {}

Publisher::~Publisher()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void Publisher::publish(const OutputFolder& folder, std::optional<PendingFile> file, std::string bytes,
                        ChosenName name, const FileNameLimit& limit, std::optional<std::int64_t> modified)
{
    std::unique_lock lock(m_mutex);
    m_room.wait(lock, [&] { return (m_queue.size() < kMaxQueued && m_queuedBytes < kMaxQueuedBytes) || m_failure; });
    rethrowFailure();
    if (m_queue.empty())
        m_oldest = std::chrono::steady_clock::now();
    m_queuedBytes += bytes.size();
    m_queue.push_back({&folder, std::move(file), std::move(bytes), std::move(name), limit, modified});
    if (m_waiting && ready())
        m_wake.notify_one();
}

void Publisher::flush()
{
    std::lock_guard lock(m_mutex);
    m_flushing = true;
    if (m_waiting && !m_queue.empty())
        m_wake.notify_one();
}

// A batch is worth waking the thread for; a large message's file is published at once,
// and nothing waits longer than kMaxDelay.
bool Publisher::ready() const
{
    return !m_queue.empty()
           && (m_flushing || m_draining || m_queue.size() >= kBatch || m_queuedBytes >= kMaxQueuedBytes / 2
               || m_queue.back().file || std::chrono::steady_clock::now() - m_oldest >= kMaxDelay);
}

void Publisher::drain()
{
    std::unique_lock lock(m_mutex);
    m_draining = true;
    if (m_waiting)
        m_wake.notify_one();
    m_room.wait(lock, [&] { return (m_queue.empty() && !m_busy) || m_failure; });
    m_draining = false;
    rethrowFailure();
}

void Publisher::check()
{
    std::lock_guard lock(m_mutex);
    rethrowFailure();
}

void Publisher::rethrowFailure()
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void Publisher::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_waiting = true;
        while (!m_stop && !ready())
            m_wake.wait_for(lock, kMaxDelay); // looks again at least that often
        m_waiting = false;
        if (m_queue.empty())
            return; // stopped, with nothing left
        std::deque<Job> jobs;
        jobs.swap(m_queue);
        m_queuedBytes = 0;
        m_flushing = false;
        m_busy = true;
        lock.unlock();
        m_room.notify_all();
        std::exception_ptr failure;
        for (Job& job : jobs) {
            if (failure)
                break; // the messages behind a failure are dropped: the run ends with it
            try {
                publishOne(job);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        jobs.clear(); // drops what was not published: files without a name vanish
        lock.lock();
        m_busy = false;
        if (failure && !m_failure) {
            m_failure = failure;
            m_queue.clear();
            m_queuedBytes = 0;
        }
        m_room.notify_all();
    }
}

void Publisher::publishOne(Job& job)
{
    const OutputFolder& folder = *job.folder;
    std::string fileName = job.name.fileName;
    if (!job.file) {
        job.file.emplace(folder.createPending());
        if (const std::error_code err = job.file->writeAll(job.bytes))
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", joinPath(folder.path(), fileName), err);
    }
    // A file system that keeps no such times leaves the time of writing: the message
    // itself is whole, which is what counts.
    if (job.modified)
        (void)job.file->setModified(*job.modified);
    if (!folder.publish(*job.file, fileName)) {
        // Taken since the run chose it: numbered on from there, never replacing.
        NumberingMemo memo;
        const TakenTest taken = [&](const std::string& candidate) {
            return isReservedDeviceName(candidate) || !folder.publish(*job.file, candidate);
        };
        const std::string ext = fileName.substr(job.name.baseName.size());
        fileName = chooseFreeName(job.name.baseName, ext, taken, memo, job.limit).fileName;
    }
    folder.finish(*job.file, fileName);
}

} // namespace carrowin::extract
