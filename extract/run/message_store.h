#pragma once
// Where a run puts the messages it reads: a store, one for each format (a file a message,
// one mbox file, a Maildir). The run reads the mailbox and hands each record's body to
// the store; the store writes it, names it and tells the run's report.
//
// The order of calls, from the run's one thread: for every record messageStarts, its
// bytes in pieces (messageBytes), messageEnds (or, for the last, messageAbandoned);
// takeNamed before every record and while a large one is read, whileWaiting while a
// stream keeps the run waiting; at the end finish, or, after a failure anywhere,
// finishQueued. A store is made for one run.
#include "record_stream.h"
#include "run_report.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

// A message's record, as it starts.
struct MessageStart {
    std::uint64_t number = 0; // in the mailbox, from 1
    std::uint64_t marker = 0; // where its record starts
    std::optional<std::uint64_t> textSize; // of its text, as the record's header gives it
};

class MessageStore {
public:
    virtual ~MessageStore() = default;

    // A message's record starts. A store that cannot go on (its settings are refused)
    // throws ExtractError.
    virtual void messageStarts(const MessageStart& start) = 0;
    // The next bytes of its body, never empty. A failure to write throws ExtractError.
    virtual void messageBytes(std::string_view bytes) = 0;
    // Its body ended just before `end`: the store hands it on, or finds it there already.
    virtual void messageEnds(std::uint64_t end) = 0;
    // Or the run stopped before its end came (a stream kept it waiting): nothing of it
    // stays.
    virtual void messageAbandoned() = 0;

    // Takes back what is named by now, without waiting, and tells the report; a failure
    // to write a message handed on throws here.
    virtual void takeNamed() = 0;
    // While a stream keeps the run waiting: what has become ready meanwhile goes on too.
    virtual void whileWaiting() { takeNamed(); }

    // The run ends, completed or cancelled: everything handed on is named and durable,
    // and the report has heard of it. Throws what fails.
    virtual void finish() = 0;
    // After a failure that ends the run: what is complete and already handed on is named
    // all the same, and told; nothing else is. A failure of its own is lost behind the
    // first one.
    virtual void finishQueued() noexcept = 0;

    // A store that writes a mailbox as one file: the name it got (RunSummary::fileName).
    virtual std::string fileName() const { return {}; }
};

// What a store is made with: the run's report, its options, and the mailbox to read a
// message's bytes again from (which throws for a stream: check canReadAgain).
struct RunContext {
    RunReport& report;
    const RunOptions& options;
    const ReadAt& readAgain;
    bool canReadAgain;
};

// Makes a store for one run; may throw ExtractError (Settings) for options the store
// refuses, before anything is made.
using MakeStore = std::function<std::unique_ptr<MessageStore>(const RunContext& run)>;

} // namespace carrowin::extract
