// The parts the run hands a message through, each on its own: reading its body, naming
// it in its folder, waiting for a comparison with the files there, and writing it.
#include "extract_error.h"
#include "output_folder.h"
#include "file_writer.h"
#include "folder_names.h"
#include "mailbox_format.h"
#include "message_reader.h"
#include "paths.h"
#include "skip_queue.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace carrowin::extract;
namespace t = carrowin::testing;

namespace {

ReadMessage kept(std::string bytes, std::uint64_t number = 1)
{
    ReadMessage m;
    m.number = number;
    m.size = bytes.size();
    m.keptBytes = std::move(bytes);
    m.extension = ".eml";
    return m;
}

const ReadAt kNoMailbox = [](std::uint64_t, char*, std::size_t) -> std::size_t { return 0; };

// A name found taken is numbered on, as message files are.
ChosenName numberedOn(const ChosenName& chosen, const OutputFolder&, const TakenTest& taken)
{
    NumberingMemo memo;
    return chooseFreeName(chosen.baseName, ".eml", taken, memo, kFileNameLimit);
}

std::vector<Candidate> in(const OutputFolder& folder, const std::vector<std::string>& names)
{
    std::vector<Candidate> candidates;
    for (const std::string& name : names)
        candidates.push_back({&folder, name});
    return candidates;
}

std::vector<std::string> messageNames(const t::TempDir& dir)
{
    std::vector<std::string> names;
    for (const std::string& name : dir.entries())
        if (name.ends_with(".eml"))
            names.push_back(name);
    return names;
}

} // namespace

TEST(MessageReader, KeepsASmallMessageAndWritesALargeOneAsItComesWithoutAName)
{
    t::TempDir dir;
    const OutputFolder folder(t::utf8(dir.path()));
    MessageReader reader(false, MessageReader::Bytes::KeptOrWritten);
    reader.start(&folder);
    EXPECT_FALSE(reader.add("Subject: small\r\n\r\nx"));
    ReadMessage small;
    reader.handOver(small);
    EXPECT_EQ(small.keptBytes, "Subject: small\r\n\r\nx");
    EXPECT_FALSE(small.file);

    reader.start(&folder);
    const std::string piece(kKeptMessage / 2 + 1, 'L');
    EXPECT_FALSE(reader.beginsStreaming(piece.size()));
    EXPECT_FALSE(reader.add(piece));
    EXPECT_TRUE(reader.beginsStreaming(piece.size()));
    EXPECT_FALSE(reader.add(piece));
    ReadMessage large;
    reader.handOver(large);
    EXPECT_TRUE(large.keptBytes.empty());
    ASSERT_TRUE(large.file);
    EXPECT_EQ(large.size, 2 * piece.size());
    EXPECT_TRUE(messageNames(dir).empty()) << "a message has no name before it is complete";
    ASSERT_TRUE(folder.name(*large.file, "large.eml"));
    folder.finish(*large.file, "large.eml");
    EXPECT_EQ(t::readFile(dir / "large.eml"), piece + piece);
}

TEST(MessageReader, ADryRunKeepsNothingButWhatNamesTheMessage)
{
    MessageReader reader(true, MessageReader::Bytes::Dropped);
    reader.start(nullptr);
    EXPECT_FALSE(reader.add("Date: Mon, 1 Jun 1998 10:00:00 +0000\r\nSubject: plan\r\n\r\n" + std::string(3 << 20, 'x')));
    EXPECT_FALSE(reader.beginsStreaming(kKeptMessage));
    EXPECT_EQ(reader.excerpt().extension(), ".eml");
    EXPECT_EQ(reader.headerBlock(), "Date: Mon, 1 Jun 1998 10:00:00 +0000\r\nSubject: plan\r\n");
    ReadMessage m;
    reader.handOver(m);
    EXPECT_TRUE(m.keptBytes.empty());
    EXPECT_FALSE(m.file);

    // With skipExisting a large one is left in the mailbox until it must be written.
    MessageReader skipping(false, MessageReader::Bytes::KeptWhenSmall);
    skipping.start(nullptr);
    EXPECT_FALSE(skipping.add(std::string(kKeptMessage + 1, 'x')));
    EXPECT_FALSE(skipping.beginsStreaming(kKeptMessage));
    ReadMessage large;
    skipping.handOver(large);
    EXPECT_TRUE(large.inMailbox);
    EXPECT_TRUE(large.keptBytes.empty());
    EXPECT_FALSE(large.file);
}

TEST(FolderNames, NumbersPastWhatTheFolderHeldAndWhatTheRunGave)
{
    FolderNames names({"Lunch.eml", "Lunch(1).eml", "aux.eml"});
    EXPECT_EQ(names.choose("Lunch", ".eml").fileName, "Lunch(2).eml");
    EXPECT_EQ(names.choose("Lunch", ".eml").fileName, "Lunch(3).eml");
    EXPECT_EQ(names.choose("aux", ".eml").fileName, "aux(1).eml");
    EXPECT_EQ(names.choose("Other", ".nws").fileName, "Other.nws");
    // Asking what a failed message would have got takes nothing.
    t::TempDir dir;
    const OutputFolder folder(t::utf8(dir.path()));
    t::writeFile(dir / "Fresh.eml", "made by someone else since");
    EXPECT_EQ(names.nameItWouldGet("Fresh", ".eml", folder), "Fresh(1).eml");
    EXPECT_EQ(names.nameItWouldGet("Other", ".nws", folder), "Other(1).nws");
    EXPECT_EQ(names.choose("Fresh", ".eml").fileName, "Fresh.eml");
    // Candidates come only from an index of the files, which skipExisting asks for.
    EXPECT_TRUE(names.candidates("Lunch", ".eml", 9).empty());
}

TEST(SkipQueue, MessagesComeBackInMailboxOrderWithTheFileThatHoldsThem)
{
    t::TempDir dir;
    const OutputFolder folder(t::utf8(dir.path()));
    t::writeFile(dir / "same.eml", "abc");
    t::writeFile(dir / "longer.eml", "abcd");
    t::writeFile(dir / "shorter.eml", "ab");
    t::writeFile(dir / "other.eml", "abx");
    // A message that was not kept is read again from the mailbox.
    const std::string image = "JMF6" + std::string(carrowin::extract::kRecordHeaderSize, '\0') + "abc";
    const ReadAt mailbox = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        const std::string_view piece = std::string_view(image).substr(static_cast<std::size_t>(offset), n);
        std::copy(piece.begin(), piece.end(), buffer);
        return piece.size();
    };
    SkipQueue queue(mailbox);
    std::vector<std::pair<std::uint64_t, std::optional<std::string>>> named;
    const auto take = [&](bool wait) {
        while (std::optional<SkipQueue::Ready> ready = queue.next(wait))
            named.emplace_back(ready->message.number,
                               ready->heldBy ? std::optional(ready->heldBy->name) : std::nullopt);
    };
    for (std::uint64_t i = 1; i <= 200; ++i) {
        switch (i % 4) {
        case 0: queue.add(kept("abc", i), {}); break;
        case 1: queue.add(kept("abc", i), in(folder, {"longer.eml", "shorter.eml", "other.eml", "same.eml"})); break;
        case 2: queue.add(kept("abc", i), in(folder, {"longer.eml", "missing.eml"})); break;
        default: {
            ReadMessage notKept;
            notKept.number = i;
            notKept.marker = 4;
            notKept.size = 3;
            queue.add(std::move(notKept), in(folder, {"same.eml"}));
        }
        }
        if (queue.full())
            queue.holdBack();
        take(false);
    }
    take(true);
    ASSERT_EQ(named.size(), 200u);
    for (std::uint64_t i = 1; i <= 200; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(named[i - 1].first, i);
        const bool held = i % 4 == 1 || i % 4 == 3;
        EXPECT_EQ(named[i - 1].second, held ? std::optional<std::string>("same.eml") : std::nullopt);
    }
}

TEST(FileWriter, CountsAFileOnlyOnceItIsThereUnderItsName)
{
    t::TempDir dir;
    const OutputFolder folder(t::utf8(dir.path()));
    FileWriter writer(kNoMailbox, numberedOn);
    for (int i = 0; i < 300; ++i) {
        const std::string name = "m" + std::to_string(i);
        writer.add(folder, kept("message " + std::to_string(i)), {name, name + ".eml"});
        writer.takeNamed();
        ASSERT_LE(writer.named(), messageNames(dir).size()) << "counted before it was named";
        if (writer.named() > 0) {
            EXPECT_EQ(writer.lastNamed(), "m" + std::to_string(writer.named() - 1));
        }
    }
    writer.drain();
    EXPECT_EQ(writer.named(), 300u);
    EXPECT_EQ(writer.lastNamed(), "m299");
    EXPECT_EQ(messageNames(dir).size(), 300u);
    EXPECT_EQ(t::readFile(dir / "m299.eml"), "message 299");
}

TEST(FileWriter, AFailureEndsTheWritingAndLeavesNothingOfTheFilesBehindIt)
{
    t::TempDir dir;
    const OutputFolder folder(t::utf8(dir.path()));
    FileWriter writer(kNoMailbox, numberedOn);
    writer.add(folder, kept("first"), {"first", "first.eml"});
    // A name in a folder that does not exist cannot be given.
    const std::string bad = std::string("gone") + carrowin::text::kPathSeparator + "lost";
    writer.add(folder, kept("lost"), {bad, bad + ".eml"});
    writer.add(folder, kept("after"), {"after", "after.eml"});
    EXPECT_THROW(writer.drain(), ExtractError);
    EXPECT_EQ(writer.named(), 1u);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"first.eml"});
    EXPECT_EQ(t::readFile(dir / "first.eml"), "first");
}
