#pragma once
// The extraction run: every record of a mailbox written to a file of its own, named
// from settings that the front end may change between records.
#include "output_naming.h"
#include "record_stream.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

struct Progress {
    std::uint64_t filesQueued = 0; // message files handed on to be written (in a dry run: planned)
    std::uint64_t filesNamed = 0;  // of those, the files that have their names, durable, in the output folder
    std::uint64_t bytesDone = 0;   // mailbox bytes read so far
    std::uint64_t bytesTotal = 0;  // mailbox size; 0 when it is not known (a stream)
};

// A message as a dry run names it (RunOptions::dryRun).
struct PlannedFile {
    std::uint64_t number = 0; // 1 for the mailbox's first message
    std::uint64_t offset = 0; // of its record in the mailbox
    std::uint64_t size = 0;   // of the message, in bytes
    std::string fileName;     // the name it would get; with skipExisting, the file it equals
    bool alreadyThere = false;
};

// What a front end provides to a run. All calls come from the thread that runs it.
class RunHost {
public:
    virtual ~RunHost() = default;
    // Checked before every record; true ends the run without touching further records.
    virtual bool cancelRequested() = 0;
    // The naming settings for the next record, read anew every time.
    virtual NamingSettings currentSettings() = 0;
    // The name chosen for the record and the output folder with its trailing separator.
    virtual void nameChosen(const std::string& workingName, const std::string& outputFolder) = 0;
    // After every message read to its end and handed on: to be written, found already
    // there, or planned. The place where a window lets its events run.
    virtual void messageDone(const Progress& progress) = 0;
    // When files have been given their names (they are on the disk, durable, under them):
    // `progress.filesNamed` counts them, `lastBaseName` is what the last of them was named
    // (without its extension). Also before a run that failed throws.
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
};

// What a run does besides writing every message under its name; all off by default.
struct RunOptions {
    bool dryRun = false;         // name every message as a run would now, write and make nothing
    bool skipExisting = false;   // a message whose bytes a file of its name (or a numbered form
                                 // of it) already holds is not written again
    bool dates = false;          // each file's time of last change from its message's Date field
    bool decodeSubjects = false; // names from the header's Subject field, decoded (subject mode)
    bool makeOutputFolder = false; // a missing output folder is made, with its parents, when
                                   // the first message is about to be written into it
};

// How often a large message lets the host know, in bytes written.
inline constexpr std::size_t kWritePiece = std::size_t{8} << 20;

enum class RunEnding { Completed, Cancelled };

struct RunSummary {
    RunEnding ending = RunEnding::Completed;
    std::uint64_t filesWritten = 0; // and named; in a dry run: that would be
    std::uint64_t skipped = 0;      // already there (skipExisting)
    std::uint64_t undated = 0;      // written without a date that could be read (dates)
};

// The mailbox path from the input folder and mailbox name, as the window holds them.
// Throws ExtractError (Settings) when either is empty.
std::string mailboxPath(std::string_view inputFolder, std::string_view mailboxName);

// The mailbox is read in pieces of this size: memory stays bounded however large the
// mailbox or a message is.
inline constexpr std::size_t kReadPiece = std::size_t{1} << 20;

// Runs to completion or cancellation. A failure throws ExtractError: files completed
// before it stay, the file being written is never seen under a name, and nothing else is
// touched.
RunSummary runExtraction(const std::string& mailboxPath, RunHost& host, const RunOptions& options,
                         std::size_t pieceSize = kReadPiece);
inline RunSummary runExtraction(const std::string& mailboxPath, RunHost& host, std::size_t pieceSize = kReadPiece)
{
    return runExtraction(mailboxPath, host, RunOptions{}, pieceSize);
}

// Reads up to `n` bytes of a stream into `buffer`, in order: how many (fewer when fewer
// have come, 0 only at its end), or nothing when none came for a moment (a tenth of a
// second or so), so that the run names what it has written meanwhile and asks again.
// Throws ExtractError on failure.
using ReadNext = std::function<std::optional<std::size_t>(char* buffer, std::size_t n)>;

// The same for a mailbox that comes as a stream (standard input), read once, in order and
// in pieces: memory stays bounded, and files are written as the stream comes. `label`
// names it in messages. What a stream cannot give twice is written first: with
// skipExisting a large message goes to a file without a name as it comes, is compared
// from there, and vanishes when a file holds it already.
RunSummary runExtractionOfStream(const ReadNext& read, const std::string& label, RunHost& host,
                                 const RunOptions& options, std::size_t pieceSize = kReadPiece);

// Makes a missing folder with its parents (RunOptions::makeOutputFolder); throws
// ExtractError (Output), naming what stands in the way, when it cannot.
void makeFolder(std::string path);

// For the runs into other formats (mail_folder_run.h): streams a mailbox file (`file`, of
// `size` bytes) or a stream (`stream`, with `whileWaiting` called while it keeps the run
// waiting) through `sink`. Returns the mailbox's first bytes, up to the signature's length.
std::string streamMailbox(const ReadAt* file, const ReadNext* stream, std::uint64_t size, std::size_t pieceSize,
                          RecordSink& sink, const std::function<void()>& whileWaiting);
// Throws (Mailbox) when a run completed without a message from what does not begin as a
// mailbox does: it is some other file.
void refuseWhatIsNoMailbox(const RunSummary& summary, const std::string& start, const std::string& label);

} // namespace carrowin::extract
