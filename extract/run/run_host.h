#pragma once
// What a run tells a front end and asks of it, the options it takes and what it returns:
// the same for every format a mailbox is written in.
#include <cstddef>
#include <cstdint>
#include <string>

namespace carrowin::extract {

struct Progress {
    std::uint64_t filesQueued = 0; // messages handed on to be written (in a dry run: planned)
    std::uint64_t filesNamed = 0;  // of those, the ones that are durable under their names
    std::uint64_t bytesNamed = 0;  // of the messages named: their bytes (a server's upload counts them)
    std::uint64_t bytesDone = 0;   // mailbox bytes read so far
    std::uint64_t bytesTotal = 0;  // mailbox size; 0 when it is not known (a stream)
};

// A message as a dry run names it (RunOptions::dryRun).
struct PlannedFile {
    std::uint64_t number = 0; // 1 for the mailbox's first message
    std::uint64_t offset = 0; // of its record in the mailbox
    std::uint64_t size = 0;   // of the message, in bytes
    std::string fileName;     // where it would go; with skipExisting, the file it equals
    bool alreadyThere = false;
};

// A message that a store would not take, or that the server it writes to refused, while
// the run goes on with the next.
struct RefusedMessage {
    std::uint64_t number = 0; // 1 for the mailbox's first message
    std::uint64_t offset = 0; // of its record in the mailbox
    std::uint64_t size = 0;   // of the message, in bytes
    std::string reason;       // why, in words: "it holds a NUL byte, ..."
};

// What a front end provides to a run. All calls come from the thread that runs it.
class RunHost {
public:
    virtual ~RunHost() = default;
    // Checked before every record; true ends the run without touching further records.
    virtual bool cancelRequested() = 0;
    // After every message read to its end and handed on: to be written, found already
    // there, or planned. The place where a window lets its events run.
    virtual void messageDone(const Progress& progress) = 0;
    // When messages have been given their names (they are on the disk, durable, under
    // them): `progress.filesNamed` counts them, `lastBaseName` is what the last of them
    // was named (without its extension). Also before a run that failed throws.
    virtual void filesNamed(const Progress& progress, const std::string& lastBaseName)
    {
        (void)progress;
        (void)lastBaseName;
    }
    // While a large message is read: every kWritePiece bytes of it; `progress` counts the
    // files before it. A window shows its counter and lets its events run, so that it
    // repaints and sees Cancel (which stops the run before the next message, not inside
    // this one).
    virtual void writing(const Progress& progress) { (void)progress; }
    // A dry run's message, named.
    virtual void planned(const PlannedFile& file) { (void)file; }
    // A message refused: it is not written, and the summary counts it apart.
    virtual void refused(const RefusedMessage& message) { (void)message; }
};

// What a run does besides writing every message; all off by default.
struct RunOptions {
    bool dryRun = false;         // name every message as a run would now, write and make nothing
    bool skipExisting = false;   // a message whose bytes a file of the output already holds is
                                 // not written again (where the format can be added to)
    bool dates = false;          // each file's time of last change from its message's Date field
    bool decodeSubjects = false; // names from the header's Subject field, decoded (subject mode)
    bool makeOutputFolder = false; // a missing output folder is made, with its parents, when
                                   // the first message is about to be written into it
};

// How often a large message lets the host know, in bytes read.
inline constexpr std::size_t kWritePiece = std::size_t{8} << 20;

enum class RunEnding { Completed, Cancelled };

struct RunSummary {
    RunEnding ending = RunEnding::Completed;
    std::uint64_t filesWritten = 0; // and named; in a dry run: that would be
    std::uint64_t skipped = 0;      // already there (skipExisting)
    std::uint64_t undated = 0;      // written without a date that could be read (dates)
    std::uint64_t refused = 0;      // not written, each told to the host (RunHost::refused)
    std::string fileName;           // a format that writes a mailbox as one file: its name
                                    // in the output folder (in a dry run, the one it would get)
};

} // namespace carrowin::extract
