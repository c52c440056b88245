#pragma once
// What the stores that write a file a message share (eml, Maildir): a message is read as
// it comes (message_reader.h), compared with the files already there when skipExisting
// asks (skip_queue.h), named by the format's own rules (FileNaming), and written, made
// durable and given its name on the writer's threads (file_writer.h), which hand the files
// back in order once named. Where a file goes and what it is called is the format's.
#include "file_writer.h"
#include "message_reader.h"
#include "message_store.h"
#include "output_naming.h"
#include "record_text.h"
#include "skip_queue.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace carrowin::extract {

// Where a message file is written, and the folder it gets its name in: the same, or
// another of the same file system (a Maildir's cur/ for its tmp/). In a dry run, none
// where a folder does not exist yet.
struct FilePlace {
    const OutputFolder* writtenIn = nullptr;
    const OutputFolder* namedIn = nullptr;
};

// A format's rules for its message files. Called on the run's thread, but nameOn (which
// the writer's own thread calls).
class FileNaming {
public:
    virtual ~FileNaming() = default;

    // The place of the message that starts now, its folders opened (and made, when
    // asked). A format that moves on to other folders calls `leave` first: everything
    // waiting for the old ones is then named and durable, and nothing uses them any more.
    virtual FilePlace placeOfNext(const std::function<void()>& leave) = 0;
    // The place the run ends in: that of the last message, or where an empty mailbox goes.
    virtual FilePlace placeAtTheEnd() = 0;
    // What the message's name is made from, now that all of it has been read.
    virtual void describe(ReadMessage& message, const MessageReader& reader) = 0;
    // The name a message gets in its place, chosen in mailbox order (in a dry run, what a
    // dry run shows for it).
    virtual ChosenName nameOf(const ReadMessage& message) = 0;
    // How a name found taken as a file is to get it goes on (FileWriter).
    virtual NameOn nameOn() = 0;
    // skipExisting: the files that may hold the message's bytes already...
    virtual std::vector<Candidate> candidatesFor(const ReadMessage& message) = 0;
    // ...and, for one that does, what a dry run shows.
    virtual std::string foundIn(const ReadMessage& message, const Candidate& file) = 0;
    // Whether the next message's name depends on whether this one is there already: then
    // its comparison is waited for.
    virtual bool nextNameWaits() const { return false; }
    // Whether a message is its record's text without the padding after it (record_text.h)
    // rather than the record's whole body, which the files of eml keep.
    virtual bool withoutPadding() const { return false; }
    // The path that the words of a failure to write the message being read name.
    virtual std::string pathOfCurrent(const MessageReader& reader) = 0;
};

class FileStore final : public MessageStore {
public:
    FileStore(const RunContext& run, std::unique_ptr<FileNaming> naming);

    void messageStarts(const MessageStart& start) override;
    void messageBytes(std::string_view bytes) override;
    void messageEnds(std::uint64_t end) override;
    void messageAbandoned() override { m_reader.abandon(); }
    void takeNamed() override;
    void whileWaiting() override;
    void finish() override;
    void finishQueued() noexcept override;

private:
    // Everything waiting named, written and durable, before the place is left.
    void leavePlace();
    // Names the messages waiting, in order: every one, or those whose comparison is done.
    void nameWaiting(bool all);
    void place(ReadMessage& m, const std::optional<Candidate>& heldBy);
    void read(std::string_view bytes);
    void reportNamed();

    const RunContext m_run;
    const std::function<void()> m_leave = [this] { leavePlace(); };
    // First: the folders it holds outlive the workers, which write into them.
    const std::unique_ptr<FileNaming> m_naming;
    // A dry run of a stream with skipExisting: where a large message goes, without a name,
    // to be compared (the stream cannot give it twice); nothing is made in the output.
    const std::unique_ptr<OutputFolder> m_scratch;
    FilePlace m_place;
    std::uint64_t m_number = 0; // of the message being read
    std::uint64_t m_marker = 0;
    std::uint64_t m_undatedByWriter = 0; // told so far
    RecordText m_text; // of the message being read
    MessageReader m_reader;
    SkipQueue m_skipQueue;
    FileWriter m_writer;
};

// Opens a folder of a file store as a run comes to it: made first (with its parents)
// when `make` asks, but not in a dry run, which opens none that does not exist (it would
// be made, empty).
std::unique_ptr<OutputFolder> openStoreFolder(const std::string& path, bool make, const RunOptions& options);

} // namespace carrowin::extract
