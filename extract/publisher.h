#pragma once
// Writes and names message files on a thread of its own, beside the reading of the next
// messages. The run keeps a small message's bytes and hands them over; a large one it
// writes as it streams by and hands over the file. Either way the file gets its name only
// when complete, and one thread alone does the creating and naming in a folder.
#include "file_io.h"
#include "output_naming.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace carrowin::extract {

class Publisher {
public:
    Publisher();
    // Publishes whatever is still queued (those messages are complete), then stops.
    ~Publisher();
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Queues a message for the name chosen for it: its bytes, or the file that holds them,
    // and the time to give it as last modified, if any. Should another program take that
    // name meanwhile, the file is numbered on from it: nothing is ever replaced. Waits
    // while too much is queued.
    void publish(const OutputFolder& folder, std::optional<PendingFile> file, std::string bytes, ChosenName name,
                 const FileNameLimit& limit, std::optional<std::int64_t> modified = std::nullopt);

    // Has what is queued written now, without waiting for it (a large message follows).
    void flush();

    // Waits until everything queued is published. Throws the first failure, after which
    // the messages queued behind it were dropped.
    void drain();
    // Throws the first failure, if there was one, without waiting.
    void check();

private:
    struct Job {
        const OutputFolder* folder;
        std::optional<PendingFile> file;
        std::string bytes;
        ChosenName name;
        FileNameLimit limit;
        std::optional<std::int64_t> modified;
    };

    void run();
    bool ready() const;
    static void publishOne(Job& job);
    void rethrowFailure();

    std::mutex m_mutex;
    std::condition_variable m_wake;  // the thread: work, or stop
    std::condition_variable m_room;  // the run: room in the queue, or the queue is empty
    std::deque<Job> m_queue;
    std::size_t m_queuedBytes = 0;
    std::chrono::steady_clock::time_point m_oldest; // when the first queued job came
    bool m_busy = false;    // the thread is publishing jobs it took
    bool m_waiting = false; // the thread sleeps until woken
    bool m_draining = false;
    bool m_flushing = false;
    bool m_stop = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

} // namespace carrowin::extract
