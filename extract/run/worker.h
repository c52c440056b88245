#pragma once
// The one way the engine does work beside the run: a thread that works through jobs in
// the order they come and hands each back, in that order, when it is done.
//
// The contract:
// - Ownership. submit() moves a job into the worker; from then on the job belongs to the
//   worker, and the caller touches nothing of it until take() or tryTake() hands it back.
//   What a job only points to (a folder, the mailbox) must outlive it and be safe to use
//   from two threads while it is in flight (the engine's are: const, or read with pread).
// - Order. Jobs are worked through in the order of submit(), and handed back in that
//   order; a job is handed back only after every job before it.
// - Groups. The thread takes every job waiting (up to Options::maxGroup) and calls `work`
//   once for the lot, in order: a batch can be finished together (files written, then
//   named). `work` runs on the worker's thread only, never on two groups at once.
// - Failures. `work` must not throw (an exception it lets out ends the program): a job
//   carries its own outcome back, and the caller decides what a failure means. Should one
//   job's failure make those after it pointless, `work` says so in them.
// - Waking. Waking a thread costs more than a small job: the thread is woken when
//   Options::wakeBatch jobs or Options::wakeBytes bytes of them wait, when the oldest
//   waiting one has waited Options::maxDelay (if set), when flush() is called, when the
//   queue is full, or when the caller waits for a job.
// - Back-pressure. submit() waits while Options::maxQueued jobs, or Options::maxQueuedBytes
//   bytes of them, wait for the thread; a job larger than that on its own is let in when
//   nothing else waits. The group being worked on and the jobs done and not yet taken
//   back do not count: the caller takes them back in its own time.
// - Stopping. The destructor lets the group in progress finish, starts no other, stops
//   the thread, and destroys every job it still holds on the caller's thread. Nothing is
//   drained: to have every job done, take them all back first.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <utility>
#include <vector>

namespace carrowin::extract {

template <typename Job>
class Worker {
public:
    using Work = std::function<void(std::span<Job> group)>;

    struct Options {
        std::size_t maxQueued = 256;
        std::size_t maxQueuedBytes = static_cast<std::size_t>(-1);
        std::size_t maxGroup = 256;
        std::size_t wakeBatch = 1;
        std::size_t wakeBytes = static_cast<std::size_t>(-1);
        std::chrono::milliseconds maxDelay{0}; // 0: only the other reasons wake it
    };

    Worker(Work work, Options options) : m_work(std::move(work)), m_options(options) {}
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Hands `job` to the worker; waits while too much is queued (see Back-pressure).
    void submit(Job job, std::size_t bytes = 0);
    // Has the thread start on what waits now, however few.
    void flush();
    // The oldest job not yet taken back, if its work is done.
    std::optional<Job> tryTake();
    // The oldest job not yet taken back, once its work is done. There must be one.
    Job take();
    // Waits until `count` jobs are done and not taken back, or all jobs in flight are.
    void waitUntilDone(std::size_t count);
    // Jobs submitted and not yet taken back.
    std::size_t inFlight() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Queued {
        Job job;
        std::size_t bytes;
    };

    std::size_t inFlightLocked() const { return m_submitted - m_taken; }
    std::optional<Job> takeFrontLocked();
    bool hasRoomFor(std::size_t bytes) const;
    bool ready() const;
    void loop();

    Work m_work;
    const Options m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;     // the thread: jobs are ready, or stop
    std::condition_variable m_room;     // submit(): the queue has room
    std::condition_variable m_finished; // waitUntilDone(): enough jobs are done
    std::deque<Queued> m_waiting;       // submitted, not started
    std::deque<Job> m_done;             // worked through, not taken back
    std::size_t m_waitingBytes = 0;
    std::size_t m_submitted = 0;
    std::size_t m_taken = 0;
    std::size_t m_awaited = 0;    // the caller waits for this many done jobs
    Clock::time_point m_oldest{}; // when the oldest waiting job came
    bool m_sleeping = false;
    bool m_hurry = false; // flushed, awaited or full: the thread starts however few wait
    bool m_stop = false;
    std::thread m_thread; // last: it starts with the first job and stops before the rest goes
};

template <typename Job>
Worker<Job>::~Worker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

template <typename Job>
void Worker<Job>::submit(Job job, std::size_t bytes)
{
    std::unique_lock lock(m_mutex);
    if (!m_thread.joinable())
        m_thread = std::thread([this] { loop(); });
    if (!hasRoomFor(bytes)) {
        m_hurry = true; // a full queue is worth waking the thread for, however few wait
        if (m_sleeping)
            m_wake.notify_one();
        m_room.wait(lock, [&] { return hasRoomFor(bytes); });
    }
    if (m_waiting.empty())
        m_oldest = Clock::now();
    m_waiting.push_back({std::move(job), bytes});
    m_waitingBytes += bytes;
    ++m_submitted;
    if (m_sleeping && ready())
        m_wake.notify_one();
}

template <typename Job>
void Worker<Job>::flush()
{
    std::lock_guard lock(m_mutex);
    m_hurry = !m_waiting.empty();
    if (m_sleeping && m_hurry)
        m_wake.notify_one();
}

template <typename Job>
std::optional<Job> Worker<Job>::tryTake()
{
    std::lock_guard lock(m_mutex);
    return takeFrontLocked();
}

template <typename Job>
Job Worker<Job>::take()
{
    waitUntilDone(1);
    std::lock_guard lock(m_mutex);
    return std::move(*takeFrontLocked());
}

template <typename Job>
void Worker<Job>::waitUntilDone(std::size_t count)
{
    std::unique_lock lock(m_mutex);
    const auto enough = [&] { return m_done.size() >= std::min(count, inFlightLocked()); };
    if (enough())
        return;
    m_awaited = std::min(count, inFlightLocked());
    m_hurry = !m_waiting.empty();
    if (m_sleeping && m_hurry)
        m_wake.notify_one();
    m_finished.wait(lock, enough);
    m_awaited = 0;
}

template <typename Job>
std::size_t Worker<Job>::inFlight() const
{
    std::lock_guard lock(m_mutex);
    return inFlightLocked();
}

template <typename Job>
std::optional<Job> Worker<Job>::takeFrontLocked()
{
    if (m_done.empty())
        return std::nullopt;
    Job job = std::move(m_done.front());
    m_done.pop_front();
    ++m_taken;
    return job;
}

template <typename Job>
bool Worker<Job>::hasRoomFor(std::size_t bytes) const
{
    if (m_waiting.empty())
        return true;
    return m_waiting.size() < m_options.maxQueued && m_waitingBytes + bytes <= m_options.maxQueuedBytes;
}

// Whether the jobs waiting are worth waking the thread for.
template <typename Job>
bool Worker<Job>::ready() const
{
    if (m_waiting.empty())
        return false;
    return m_hurry || m_waiting.size() >= m_options.wakeBatch || m_waitingBytes >= m_options.wakeBytes
           || (m_options.maxDelay.count() > 0 && Clock::now() - m_oldest >= m_options.maxDelay);
}

// The thread: it sleeps until what waits is worth waking for, takes it as one group,
// works through it without the lock, and hands it back.
template <typename Job>
void Worker<Job>::loop()
{
    std::vector<Job> group;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_sleeping = true;
        while (!m_stop && !ready()) {
            if (m_options.maxDelay.count() == 0)
                m_wake.wait(lock);
            else if (m_waiting.empty())
                m_wake.wait_for(lock, m_options.maxDelay); // looks again at least that often
            else
                m_wake.wait_until(lock, m_oldest + m_options.maxDelay);
        }
        m_sleeping = false;
        if (m_stop)
            return;
        for (std::size_t n = std::min(m_waiting.size(), m_options.maxGroup); n > 0; --n) {
            m_waitingBytes -= m_waiting.front().bytes;
            group.push_back(std::move(m_waiting.front().job));
            m_waiting.pop_front();
        }
        m_hurry = m_hurry && !m_waiting.empty();
        lock.unlock();
        m_room.notify_all();
        m_work(std::span<Job>(group));
        lock.lock();
        for (Job& job : group)
            m_done.push_back(std::move(job));
        group.clear();
        if (m_awaited > 0 && m_done.size() >= m_awaited)
            m_finished.notify_all();
    }
}

} // namespace carrowin::extract
