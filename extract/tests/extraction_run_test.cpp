#include "errors.h"
#include "extract_error.h"
#include "run.h"
#include "paths.h"
#include "run_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace carrowin::extract;
namespace t = carrowin::testing;
using t::ExtractionRun;

TEST_F(ExtractionRun, WritesEveryMessageByteForByte)
{
    const std::string lf = "From: a\nSubject: LF only\n\nline\n";
    const std::string news = "Newsgroups: comp.test\r\nSubject: Re: A news article\r\n\r\nbody\r\n";
    const std::string umlaut = t::mail("Gr\xFC\xDF" "e", "caf\xE9 \x80");
    const std::string path = writeMailbox({t::mail("Lunch"), lf, news, umlaut, t::mail("Lunch")});

    const RunSummary s = runExtraction(path, host);

    EXPECT_EQ(s.ending, RunEnding::Completed);
    EXPECT_EQ(s.filesWritten, 5u);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"A news article.nws", "Gr\u00FC\u00DFe.eml", "LF only.eml",
                                                    "Lunch(1).eml", "Lunch.eml"}));
    // Bodies keep the padding that follows the text up to the next record.
    using t::padded;
    EXPECT_EQ(t::readFile(outFile("Lunch.eml")), padded(t::mail("Lunch")));
    EXPECT_EQ(t::readFile(outFile("LF only.eml")), padded(lf));
    EXPECT_EQ(t::readFile(outFile("A news article.nws")), padded(news));
    EXPECT_EQ(t::readFile(outFile("Gr\u00FC\u00DFe.eml")), padded(umlaut));
    EXPECT_EQ(t::readFile(outFile("Lunch(1).eml")), padded(t::mail("Lunch")));
    ASSERT_EQ(host.progress.size(), 5u);
    EXPECT_EQ(host.progress.back().filesQueued, 5u);
    EXPECT_EQ(host.progress.back().bytesDone, host.progress.back().bytesTotal);
    EXPECT_EQ(host.settings.outputFolder, t::utf8(outDir()) + carrowin::text::kPathSeparator);
}

TEST_F(ExtractionRun, MarkersAtOneHundredByteStepsGiveThreeFiles)
{
    std::string image;
    for (int i = 0; i < 3; ++i)
        image += t::record(std::string(84, 'a' + i));
    t::writeFile(in / "m.mbx", image);
    EXPECT_EQ(runExtraction(t::utf8(in / "m.mbx"), host).filesWritten, 3u);
    EXPECT_EQ(host.progress[0].filesQueued, 1u);
    EXPECT_EQ(host.progress[1].filesQueued, 2u);
}

TEST_F(ExtractionRun, SettingsAreReadAgainForEveryRecord)
{
    const std::string path = writeMailbox({t::mail("One"), t::mail("Two"), t::mail("Three")});
    host.onFile = [&](const Progress& p) {
        if (p.filesQueued == 1) {
            host.settings.bySubject = false;
            host.settings.workingName = "Mine";
        }
    };
    runExtraction(path, host);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"Mine(1).eml", "Mine.eml", "One.eml"}));
    EXPECT_EQ(host.names, (std::vector<std::string>{"One", "Mine", "Mine(1)"}));
}

TEST_F(ExtractionRun, OutputFolderChangedDuringTheRunStartsItsNumberingAfresh)
{
    const std::string path = writeMailbox({t::mail("Same"), t::mail("Same"), t::mail("Same")});
    const auto other = out.path() / "other";
    std::filesystem::create_directory(other);
    host.onFile = [&](const Progress& p) {
        if (p.filesQueued == 2)
            host.settings.outputFolder = t::utf8(other);
    };
    runExtraction(path, host);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"Same(1).eml", "Same.eml"}));
    EXPECT_TRUE(std::filesystem::exists(other / "Same.eml"));
}

TEST_F(ExtractionRun, CancelStopsBeforeTheNextRecordAndKeepsWhatIsWritten)
{
    const std::string path = writeMailbox({t::mail("a"), t::mail("b"), t::mail("c")});
    host.onFile = [&](const Progress& p) {
        host.cancel = p.filesQueued == 2;
        EXPECT_LE(p.filesNamed, outNames().size()) << "counted before it was named";
    };
    const RunSummary s = runExtraction(path, host);
    EXPECT_EQ(s.ending, RunEnding::Cancelled);
    EXPECT_EQ(s.filesWritten, 2u);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"a.eml", "b.eml"}));
    EXPECT_EQ(host.named, 2u);
    EXPECT_EQ(host.lastNamed, "b");
}

TEST_F(ExtractionRun, MissingFolderOrUnreadableMailboxIsAnErrorAndCreatesNothing)
{
    const auto missing = in / "Nope.mbx";
    EXPECT_EXTRACT_ERROR(runExtraction(t::utf8(missing), host), ErrorKind::Mailbox, t::utf8(missing),
                         t::missingFileCode());
    EXPECT_FALSE(std::filesystem::exists(missing));
    std::filesystem::create_directory(in / "Folder.mbx");
    EXPECT_THROW(runExtraction(t::utf8(in / "Folder.mbx"), host), ExtractError);
    EXPECT_TRUE(outNames().empty());
}

TEST_F(ExtractionRun, FileThatIsNoMailboxIsReportedNotCompleted)
{
    t::writeFile(in / "notes.mbx", "Just some text\r\nSubject: hello\r\n");
    EXPECT_THROW(runExtraction(t::utf8(in / "notes.mbx"), host), ExtractError);
    t::writeFile(in / "empty.mbx", "");
    EXPECT_THROW(runExtraction(t::utf8(in / "empty.mbx"), host), ExtractError);
    // A real mailbox that holds no message completes with no file.
    t::writeFile(in / "none.mbx", t::mailboxHeader());
    EXPECT_EQ(runExtraction(t::utf8(in / "none.mbx"), host).ending, RunEnding::Completed);
    EXPECT_TRUE(outNames().empty());
}

TEST_F(ExtractionRun, TakenNamesAreNeverOverwritten)
{
    t::writeFile(outFile("Lunch.eml"), "keep me");
    std::filesystem::create_directory(outFile("Lunch(1).eml"));
    const std::string path = writeMailbox({t::mail("Lunch"), t::mail("CON"), t::mail("lpt1")});
    runExtraction(path, host);
    EXPECT_EQ(t::readFile(outFile("Lunch.eml")), "keep me");
    EXPECT_TRUE(std::filesystem::is_directory(outFile("Lunch(1).eml")));
    EXPECT_EQ(t::readFile(outFile("Lunch(2).eml")), t::padded(t::mail("Lunch")));
    // Device names that Windows reserves are numbered on every platform.
    EXPECT_EQ(outNames(), (std::vector<std::string>{"CON(1).eml", "Lunch(1).eml", "Lunch(2).eml", "Lunch.eml", "lpt1(1).eml"}));
}

TEST_F(ExtractionRun, FileCreatedByAnotherProgramDuringTheRunIsSteppedOver)
{
    const std::string path = writeMailbox({t::mail("Race"), t::mail("Race")});
    host.onFile = [&](const Progress& p) {
        if (p.filesQueued == 1)
            t::writeFile(outFile("Race(1).eml"), "theirs");
    };
    runExtraction(path, host);
    EXPECT_EQ(t::readFile(outFile("Race(1).eml")), "theirs");
    EXPECT_TRUE(std::filesystem::exists(outFile("Race(2).eml")));
}

TEST_F(ExtractionRun, UnsafeSettingsAreRefusedBeforeAnythingIsWritten)
{
    const std::string path = writeMailbox({t::mail("a")});
    host.settings = {false, false, "../escape", t::utf8(outDir())};
    try {
        runExtraction(path, host);
        FAIL() << "a prefix with a separator must be refused";
    } catch (const ExtractError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Settings);
    }
    host.settings = {true, true, "File", ""};
    EXPECT_THROW(runExtraction(path, host), ExtractError);
    EXPECT_TRUE(outNames().empty());
}

TEST_F(ExtractionRun, MissingOutputFolderIsAnError)
{
    const std::string path = writeMailbox({t::mail("a")});
    host.settings.outputFolder = t::utf8(out.path() / "gone");
    try {
        runExtraction(path, host);
        FAIL();
    } catch (const ExtractError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Output);
        EXPECT_NE(std::string(e.what()).find("gone"), std::string::npos);
    }
}

TEST_F(ExtractionRun, FolderRemovedDuringTheRunEndsItWithAnError)
{
    const std::string path = writeMailbox({t::mail("a"), t::mail("b"), t::mail("c")});
    host.onFile = [&](const Progress& p) {
        if (p.filesQueued == 2)
            std::filesystem::remove_all(outDir());
    };
    EXPECT_THROW(runExtraction(path, host), ExtractError);
}

TEST_F(ExtractionRun, AMailboxThatShrinksEndsTheRunInWordsKeepingWholeFiles)
{
    const std::string path = writeMailbox({t::mail("one"), t::mail("two", std::string(500, 'x')), t::mail("three")});
    host.onFile = [&](const Progress& p) {
        if (p.filesQueued == 1)
            std::filesystem::resize_file(t::pathOf(path), p.bytesDone + 100); // inside "two"
    };
    try {
        runExtraction(path, host, 16);
        FAIL() << "a mailbox that changed must not complete";
    } catch (const ExtractError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Mailbox);
        EXPECT_NE(std::string(e.what()).find("changed while it was being read"), std::string::npos) << e.what();
    }
    EXPECT_EQ(outNames(), std::vector<std::string>{"one.eml"});
}

TEST_F(ExtractionRun, BytesAppendedDuringTheRunAreNotRead)
{
    const std::string path = writeMailbox({t::mail("one"), t::mail("two")});
    host.onFile = [&](const Progress& p) {
        if (p.filesQueued == 1) {
            std::ofstream more(t::pathOf(path), std::ios::binary | std::ios::app);
            more << t::record(t::mail("appended"));
        }
    };
    EXPECT_EQ(runExtraction(path, host, 16).filesWritten, 2u);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"one.eml", "two.eml"}));
}

TEST_F(ExtractionRun, PiecesOfAnySizeWriteTheSameFiles)
{
    std::vector<std::string> messages;
    for (int i = 0; i < 30; ++i)
        messages.push_back(t::mail(i % 3 ? "Lunch" : "Re: Gr\xFC\xDF" "e " + std::to_string(i), std::string(i * 37, 'b')));
    messages.push_back("Newsgroups: alt.test\r\nSubject: News\r\n\r\nx");
    const std::string path = writeMailbox(messages);
    runExtraction(path, host, 3);
    const auto tiny = outNames();
    std::vector<std::string> tinyBodies;
    for (const auto& name : tiny)
        tinyBodies.push_back(t::readFile(outFile(name)));
    std::filesystem::remove_all(outDir());
    std::filesystem::create_directory(outDir());
    runExtraction(path, host);
    ASSERT_EQ(outNames(), tiny);
    for (std::size_t i = 0; i < tiny.size(); ++i)
        EXPECT_EQ(t::readFile(outFile(tiny[i])), tinyBodies[i]) << tiny[i];
    EXPECT_EQ(tiny.size(), messages.size());
}
