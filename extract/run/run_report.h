#pragma once
// What a run counts and tells its host, in one place for the run and its store: the
// messages read, handed on, found already there and named, and where the reading is.
#include "run_host.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace carrowin::extract {

// A message read to its end, as the report tells of it.
struct MessageDone {
    std::uint64_t number = 0; // in the mailbox, from 1
    std::uint64_t marker = 0; // where its record starts
    std::uint64_t size = 0;   // of its body, in bytes
    std::uint64_t end = 0;    // where its body ends in the mailbox
};

class RunReport {
public:
    RunReport(RunHost& host, const RunOptions& options, std::uint64_t mailboxSize);

    // The run's. A record starts at `marker`: false, and the run is cancelled, when the
    // host asks to stop.
    bool recordStarts(std::uint64_t marker);
    // `n` more bytes of the record's body: true when they cross a kWritePiece, when the host
    // is to hear writing() (after the store has taken back what it named meanwhile).
    bool bodyGrows(std::size_t n);
    void writing();
    // While a stream keeps the run waiting: true, and the run is cancelled, when the host
    // asks to stop.
    bool stopWhileWaiting();

    // The store's. A message handed on to be written (in a dry run: planned as `name`).
    void handedOn(const MessageDone& m, std::string_view name);
    // A message whose bytes `file` holds already (skipExisting): not written again.
    void foundThere(const MessageDone& m, std::string_view file);
    // Messages written without their date (dates): none could be read, or the file system
    // could not hold it.
    void undated(std::uint64_t count = 1) { m_undated += count; }
    // A message not written: why, in words.
    void refused(const MessageDone& m, const std::string& reason);
    // `count` messages are named by now, the last of them `lastBaseName`; `bytes`, where
    // the store counts them, are theirs.
    void named(std::uint64_t count, const std::string& lastBaseName, std::uint64_t bytes = 0);

    // Records started so far: the number of the one being read.
    std::uint64_t number() const { return m_number; }
    bool cancelled() const { return m_cancelled; }
    RunSummary summary() const;

private:
    void done(const MessageDone& m, std::string_view name, bool alreadyThere);

    RunHost& m_host;
    const bool m_dryRun;
    Progress m_progress;
    std::uint64_t m_number = 0; // of the record being read
    std::uint64_t m_marker = 0;
    std::uint64_t m_size = 0;   // of its body so far
    std::uint64_t m_pieceAt = 0; // where the last piece of it began
    std::uint64_t m_skipped = 0;
    std::uint64_t m_undated = 0;
    std::uint64_t m_refused = 0;
    bool m_cancelled = false;
};

} // namespace carrowin::extract
