#pragma once
// Writes and names message files on a thread of its own (a Worker), beside the reading of
// the next messages. A small message comes as its bytes, a large one as the file it was
// written to while it streamed by; either way the file gets its name only when complete,
// never replacing anything, and one thread alone creates and names files in a folder
// while the run streams none. The files come back to the run in order once they have
// their names, so that it counts what is really there.
#include "message_reader.h"
#include "output_naming.h"
#include "worker.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace carrowin::extract {

class FileWriter {
public:
    FileWriter();

    // Queues a message's bytes (or file) for the name chosen for it, and the time to give
    // it as last modified, if any. Should another program take that name meanwhile, the
    // file is numbered on from it. `folder` must outlive the writing. Waits while too
    // much is queued.
    void add(const OutputFolder& folder, ReadMessage message, ChosenName name);

    // Has what is queued written now, without waiting for it (a large message follows).
    void flush();

    // The files named since the last call, without waiting. Throws the first failure:
    // the files behind it are dropped, unnamed.
    std::uint64_t takeNamed();
    // The same, once every file queued has its name.
    std::uint64_t drain();

private:
    struct Job {
        const OutputFolder* folder = nullptr;
        ReadMessage message;
        ChosenName name;
        std::exception_ptr failure; // why it has no name
        bool dropped = false;       // behind a failure: not written
    };

    void writeGroup(std::span<Job> group) noexcept;
    static void writeOne(Job& job);
    std::uint64_t count(std::optional<Job> job, std::uint64_t named);

    bool m_failed = false; // the writer's thread's: after a failure nothing more is written
    Worker<Job> m_worker;  // last: it stops before what it uses goes
};

} // namespace carrowin::extract
