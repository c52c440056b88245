#pragma once
// For skipExisting: the messages read to their end wait here, in order, until it is
// known whether a file that was in the folder before the run already holds their bytes.
// Those that have candidates are compared with them on a thread of their own (a Worker)
// while the run reads the next messages; too many waiting hold the reading back.
#include "message_reader.h"
#include "record_stream.h"
#include "worker.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace carrowin::extract {

// A file that was in the output before the run and may hold a message's bytes.
struct Candidate {
    const OutputFolder* folder = nullptr; // must outlive the comparison
    std::string name;
    std::uint64_t zerosAfter = 0; // it holds the message's bytes and these zeros after them
};

class SkipQueue {
public:
    // The bytes of a message that was not kept (a large one, or any in a dry run) are read
    // again from the mailbox, which must outlive the queue.
    explicit SkipQueue(const ReadAt& mailbox);

    // A message to wait; with candidates, compared with them.
    void add(ReadMessage message, std::vector<Candidate> candidates);

    struct Ready {
        ReadMessage message;
        std::optional<Candidate> heldBy; // the file that already holds its bytes
    };
    // The oldest message waiting, once its outcome is known; without `wait`, none while it
    // is still being compared. None when nothing waits.
    std::optional<Ready> next(bool wait);

    // Whether so many messages (or bytes of them) wait that the reading should wait too;
    // then holdBack() returns when half of them are ready.
    bool full() const;
    void holdBack();

private:
    struct Comparison {
        ReadMessage message;
        std::vector<Candidate> candidates;
        std::optional<Candidate> heldBy;
    };
    // A message waiting here, or none while its comparison is in the worker's hands.
    using Slot = std::optional<ReadMessage>;

    void compare(Comparison& c) noexcept;

    const ReadAt& m_mailbox;
    std::deque<Slot> m_waiting;
    std::size_t m_waitingBytes = 0; // kept bytes of the messages waiting or compared
    std::string m_compareBuffer;    // the comparer's: a message's bytes read again
    std::string m_paddedBuffer;     // the comparer's: and zeros after them
    Worker<Comparison> m_comparer;  // last: it stops before what it uses goes
};

} // namespace carrowin::extract
