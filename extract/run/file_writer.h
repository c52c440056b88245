#pragma once
// Writes and names message files beside the reading of the next messages, in two stages
// of a thread each (Workers): the first creates the files (without a name) and writes
// them; the second makes a batch of them durable together and only then gives each its
// name, never replacing anything, while the first writes the next batch. So no name
// ever reaches the disk before the bytes it names. A small message comes as its bytes, a
// large one as the file it was written to while it streamed by. The files come back to
// the run in order once they have their names, so that it counts what is really there.
#include "message_reader.h"
#include "output_naming.h"
#include "record_stream.h"
#include "worker.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace carrowin::extract {

// How a file goes on when the name chosen for it is found taken as it is to get it
// (another program took it meanwhile): a name that `taken` says is free, in `target`,
// the folder it is named in. Called on the writer's own thread, one file at a time.
using NameOn = std::function<ChosenName(const ChosenName& chosen, const OutputFolder& target, const TakenTest& taken)>;

class FileWriter {
public:
    // A message left in the mailbox is read again from `mailbox`, which must outlive the
    // writer and be safe to read from another thread.
    FileWriter(const ReadAt& mailbox, NameOn nameOn);

    // Queues a message's bytes (or file) for the name chosen for it, and the time to give
    // it as last modified, if any. Should another program take that name meanwhile, the
    // file goes on as `nameOn` says. `folder` must outlive the writing. Waits while too
    // much is queued. With `into`, the file written in `folder` is named in `into`, a
    // folder of the same file system that must outlive the writing too.
    void add(const OutputFolder& folder, ReadMessage message, ChosenName name, const OutputFolder* into = nullptr);

    // Takes back the files named by now, without waiting, and counts them. Throws the
    // first failure: the files behind it are dropped, unnamed.
    void takeNamed();
    // The same, once every file queued has its name or has been dropped.
    void drain();

    // Whether small messages (their bytes, not a file) are among those not yet named.
    bool holdsSmallMessages() const { return m_smallInFlight > 0; }

    // The files named so far, and the base name the last of them got; of them, those whose
    // date was asked for and could not be set.
    std::uint64_t named() const { return m_named; }
    std::uint64_t undated() const { return m_undated; }
    const std::string& lastNamed() const { return m_lastNamed; }

private:
    struct Job {
        const OutputFolder* folder = nullptr;
        const OutputFolder* into = nullptr; // where it is named, when not in `folder`
        ReadMessage message;
        ChosenName name;            // as chosen; as given once named
        std::exception_ptr failure; // why it has no name
        bool named = false;
        bool small = false;   // came as its bytes
        bool undated = false; // its date could not be set
    };

    void writeGroup(std::span<Job> group) noexcept;
    void nameGroup(std::span<Job> group) noexcept;
    void write(Job& job);
    void copyFromMailbox(Job& job);
    void name(Job& job);
    void passWritten(bool wait);
    void count(Job& job);

    const ReadAt& m_mailbox;
    const NameOn m_nameOn;    // the second stage's
    std::string m_copyBuffer; // the first stage's
    std::uint64_t m_named = 0;
    std::uint64_t m_undated = 0;
    std::size_t m_smallInFlight = 0;
    std::string m_lastNamed;
    bool m_writingFailed = false; // the first stage's: after a failure nothing more is written
    bool m_namingFailed = false;  // the second stage's: nor named
    // Last: they stop before what they use goes.
    Worker<Job> m_naming;
    Worker<Job> m_writing;
};

} // namespace carrowin::extract
