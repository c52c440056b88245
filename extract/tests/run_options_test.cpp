// What a run does on request: a dry run, skipping what is already there, dates, decoded
// subjects, and a mailbox that comes as a stream.
#include "errors.h"
#include "extract_error.h"
#include "run.h"
#include "run_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

using namespace carrowin::extract;
namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

class PlanningHost : public t::FakeHost {
public:
    std::vector<PlannedFile> plan;
    void planned(const PlannedFile& f) override { plan.push_back(f); }
};

class RunOptionsTest : public t::ExtractionRun {
protected:
    RunSummary run(const std::string& path, const RunOptions& options)
    {
        planner.settings = host.settings;
        return runExtraction(path, planner, options);
    }
    std::int64_t modified(std::string_view name) const
    {
        using namespace std::chrono;
        // The file clock's distance from now, on the system clock (GCC 12 has no clock_cast).
        const auto since = fs::last_write_time(outFile(name)) - fs::file_time_type::clock::now();
        const auto time = system_clock::now() + duration_cast<system_clock::duration>(since);
        return static_cast<std::int64_t>(std::llround(duration<double>(time.time_since_epoch()).count()));
    }
    PlanningHost planner;
};

std::string dated(std::string_view subject, std::string_view date)
{
    return "Date: " + std::string(date) + "\r\nSubject: " + std::string(subject) + "\r\n\r\nText.\r\n";
}

} // namespace

TEST_F(RunOptionsTest, DryRunNamesAsTheRunWillAndWritesNothing)
{
    t::writeFile(outFile("Lunch.eml"), "someone else's");
    const std::string large = t::mail("Big", std::string(3u << 20, 'x')); // written as it streams
    const std::string path = writeMailbox({t::mail("Lunch"), t::mail("Lunch"), large, t::mail("Re: Lunch")});

    const RunSummary planned = run(path, {.dryRun = true});
    EXPECT_EQ(planned.filesWritten, 4u);
    EXPECT_EQ(outNames(), std::vector<std::string>{"Lunch.eml"});
    ASSERT_EQ(planner.plan.size(), 4u);
    EXPECT_EQ(planner.plan[0].number, 1u);
    EXPECT_EQ(planner.plan[0].offset, 84u); // after the mailbox's header
    EXPECT_EQ(planner.plan[0].size, t::padded(t::mail("Lunch")).size());
    EXPECT_EQ(planner.plan[2].size, t::padded(large).size());

    const RunSummary written = runExtraction(path, host);
    EXPECT_EQ(written.filesWritten, 4u);
    std::vector<std::string> plannedNames;
    for (const PlannedFile& f : planner.plan)
        plannedNames.push_back(f.fileName);
    EXPECT_EQ(plannedNames, (std::vector<std::string>{"Lunch(1).eml", "Lunch(2).eml", "Big.eml", "Lunch(3).eml"}));
    for (const std::string& name : plannedNames)
        EXPECT_TRUE(fs::exists(outFile(name))) << name;
}

TEST_F(RunOptionsTest, DryRunIntoAMissingFolderMakesNothing)
{
    const std::string path = writeMailbox({t::mail("A")});
    host.settings.outputFolder = t::utf8(outDir() / "not" / "yet");
    EXPECT_EQ(run(path, {.dryRun = true}).filesWritten, 1u);
    EXPECT_FALSE(fs::exists(outDir() / "not"));
}

TEST_F(RunOptionsTest, SkipExistingWritesOnlyWhatIsNotThereByteForByte)
{
    const std::string large = t::mail("Big", std::string(3u << 20, 'x'));
    const std::string first = writeMailbox({t::mail("Lunch", "one"), t::mail("Lunch", "two"), large});
    runExtraction(first, host);
    const auto before = outNames();

    // The same mailbox again: nothing is written.
    const RunSummary again = run(first, {.skipExisting = true});
    EXPECT_EQ(again.filesWritten, 0u);
    EXPECT_EQ(again.skipped, 3u);
    EXPECT_EQ(outNames(), before);

    // A second copy holding one more message, and one that differs under the same subject
    // and size: only those two are written.
    const std::string second = writeMailbox({t::mail("Lunch", "two"), t::mail("Lunch", "Two"), large,
                                             t::mail("New")});
    const RunSummary more = run(second, {.skipExisting = true});
    EXPECT_EQ(more.filesWritten, 2u);
    EXPECT_EQ(more.skipped, 2u);
    EXPECT_EQ(t::readFile(outFile("Lunch(2).eml")), t::padded(t::mail("Lunch", "Two")));
    EXPECT_EQ(t::readFile(outFile("New.eml")), t::padded(t::mail("New")));

    // A dry run tells the same without writing.
    const std::size_t files = outNames().size();
    planner.plan.clear();
    run(second, {.dryRun = true, .skipExisting = true});
    ASSERT_EQ(planner.plan.size(), 4u);
    EXPECT_TRUE(planner.plan[0].alreadyThere);
    EXPECT_EQ(planner.plan[0].fileName, "Lunch(1).eml");
    EXPECT_TRUE(planner.plan[2].alreadyThere); // the large one, compared with the mailbox
    EXPECT_EQ(outNames().size(), files);
}

TEST_F(RunOptionsTest, OnlyARegularFileHoldsAMessageThatIsAlreadyThere)
{
    // An empty message, and a folder of the name it gets: the folder holds no message.
    std::filesystem::create_directory(outFile("NoSubject.eml"));
    const RunSummary s = run(writeMailbox({""}), {.skipExisting = true});
    EXPECT_EQ(s.skipped, 0u);
    EXPECT_EQ(s.filesWritten, 1u);
    EXPECT_TRUE(std::filesystem::is_regular_file(outFile("NoSubject(1).eml")));
}

TEST_F(RunOptionsTest, SkipExistingOverManyMessagesNamesInMailboxOrder)
{
    // More messages than are compared ahead at once, with a few subjects only: the names
    // of the new ones must be those a run in order gives.
    std::vector<std::string> first;
    std::vector<std::string> second;
    for (int i = 0; i < 300; ++i) {
        const std::string subject = "Subject " + std::to_string(i % 7);
        first.push_back(t::mail(subject, "text " + std::to_string(i)));
        second.push_back(t::mail(subject, (i % 3 == 0 ? "new " : "text ") + std::to_string(i)));
    }
    runExtraction(writeMailbox(first), host);
    const RunSummary s = run(writeMailbox(second), {.skipExisting = true});
    EXPECT_EQ(s.skipped, 200u);
    EXPECT_EQ(s.filesWritten, 100u);
    // Message 3 is the first new one of "Subject 3": the first free number of that name.
    EXPECT_EQ(t::readFile(outFile("Subject 3(43).eml")), t::padded(t::mail("Subject 3", "new 3")));
    EXPECT_EQ(outNames().size(), 400u);
}

TEST_F(RunOptionsTest, DatesComeFromTheDateHeader)
{
    const std::string large = dated("Large", "Tue, 15 Nov 1994 08:12:31 GMT") + std::string(3u << 20, 'x');
    const std::string path = writeMailbox({dated("Zoned", "Mon, 1 Jun 1998 10:00:00 +0200"), large,
                                           dated("Garbage", "next Tuesday"), t::mail("None")});
    const auto start = std::chrono::system_clock::now();
    const RunSummary s = run(path, {.dates = true});
    EXPECT_EQ(s.filesWritten, 4u);
    EXPECT_EQ(s.undated, 2u);
    EXPECT_EQ(modified("Zoned.eml"), 896688000);
    EXPECT_EQ(modified("Large.eml"), 784887151);
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(start.time_since_epoch()).count();
    EXPECT_GE(modified("Garbage.eml"), now - 1); // the time of writing
    EXPECT_GE(modified("None.eml"), now - 1);
}

TEST_F(RunOptionsTest, ADateAndSubjectAcross64KiBOfHeaderAreReadWhole)
{
    // The zone of the Date and the end of the Subject lie beyond the first 64 KiB.
    std::string header = "From: a\r\n";
    while (header.size() < 65536 - 20)
        header += "Received: from somewhere\r\n";
    header.resize(65536 - 20);
    header += "\r\nDate: Mon, 1 Jun 1998 10:00:00 +0200\r\nSubject: =?utf-8?Q?caf=C3=A9?= at noon\r\n\r\nbody\r\n";
    const std::string path = writeMailbox({header});
    const RunSummary s = run(path, {.dates = true, .decodeSubjects = true});
    EXPECT_EQ(s.undated, 0u);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"caf\u00E9 at noon.eml"}));
    EXPECT_EQ(modified("caf\u00E9 at noon.eml"), 896688000); // 08:00 UTC, not 10:00
}

TEST_F(RunOptionsTest, DecodedSubjectsComeFromTheHeaderOnly)
{
    const std::string encoded =
        "From: a\r\nSubject: Re: =?ISO-8859-1?Q?Gr=FC=DFe?=\r\n =?UTF-8?B?w6k=?= / plan\r\n\r\nSubject: not this\r\n";
    const std::string inBodyOnly = "From: a\r\n\r\nSubject: in the text\r\n";
    const std::string path = writeMailbox({encoded, inBodyOnly});
    run(path, {.decodeSubjects = true});
    EXPECT_EQ(outNames(), (std::vector<std::string>{"Gr\u00FC\u00DFe\u00E9 plan.eml", "NoSubject.eml"}));

    // Without the option, the names stay what they always were.
    fs::remove_all(outDir());
    fs::create_directory(outDir());
    runExtraction(path, host);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"ISO 8859 1 Q Gr FC DFe.eml", "in the text.eml"}));
}

TEST_F(RunOptionsTest, AStreamRunsAsAFileAndIsReadOnce)
{
    const std::string large = t::mail("Large") + std::string((std::size_t{1} << 20) + 5000, 'L'); // not kept whole
    const std::string image = t::mailbox({t::mail("One"), large, t::mail("Two")});
    std::size_t at = 0;
    RunSummary s = runExtractionOfStream(t::pipeOf(image, at, 4096), "standard input", host, {});
    EXPECT_EQ(s.filesWritten, 3u);
    EXPECT_EQ(t::readFile(outFile("Large.eml")), t::padded(large));
    EXPECT_EQ(t::readFile(outFile("Two.eml")), t::padded(t::mail("Two")));
    // Again, skipping what is there: the large message, which a stream cannot give twice,
    // is compared from a file of its own, which goes with it.
    at = 0;
    s = runExtractionOfStream(t::pipeOf(image, at, 4096), "standard input", host, {.skipExisting = true});
    EXPECT_EQ(s.filesWritten, 0u);
    EXPECT_EQ(s.skipped, 3u);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"Large.eml", "One.eml", "Two.eml"}));
    // Reads of a few bytes still find the header of a mailbox without messages...
    const std::string empty = t::mailboxHeader();
    at = 0;
    EXPECT_EQ(runExtractionOfStream(t::pipeOf(empty, at, 1), "standard input", host, {}).filesWritten, 0u);
    // ...and what is not a mailbox.
    const std::string text = "not a mailbox";
    at = 0;
    EXPECT_EXTRACT_ERROR(runExtractionOfStream(t::pipeOf(text, at), "standard input", host, {}), ErrorKind::Mailbox,
                         "standard input", std::error_code());
}
