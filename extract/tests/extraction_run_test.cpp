#include "errors.h"
#include "extraction_run.h"
#include "mailbox_builder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace carrowin::extract;
namespace t = carrowin::testing;

namespace {

// Plays the window: holds the settings, takes back what the run writes into them.
class FakeHost : public RunHost {
public:
    NamingSettings settings{true, true, "File", ""};
    bool cancel = false;
    std::vector<Progress> progress;
    std::vector<std::string> names;
    std::function<void(const Progress&)> onFile;

    bool cancelRequested() override { return cancel; }
    NamingSettings currentSettings() override { return settings; }
    void nameChosen(const std::string& workingName, const std::string& outputFolder) override
    {
        settings.workingName = workingName;
        settings.outputFolder = outputFolder;
        names.push_back(workingName);
    }
    void fileWritten(const Progress& p) override
    {
        progress.push_back(p);
        if (onFile)
            onFile(p);
    }
};

class ExtractionRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(out.path() / "out");
        host.settings.outputFolder = (out.path() / "out").string();
    }
    std::string writeMailbox(const std::vector<std::string>& messages)
    {
        const auto path = in / "Inbox.mbx";
        t::writeFile(path, t::mailbox(messages));
        return path.string();
    }
    std::filesystem::path outDir() const { return out.path() / "out"; }
    std::vector<std::string> outNames() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(outDir()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    t::TempDir in;
    t::TempDir out;
    FakeHost host;
};

} // namespace

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
    const auto padded = [](const std::string& s) { return s + std::string((4 - s.size() % 4) % 4, '\0'); };
    EXPECT_EQ(t::readFile(outDir() / "Lunch.eml"), padded(t::mail("Lunch")));
    EXPECT_EQ(t::readFile(outDir() / "LF only.eml"), padded(lf));
    EXPECT_EQ(t::readFile(outDir() / "A news article.nws"), padded(news));
    EXPECT_EQ(t::readFile(outDir() / "Gr\u00FC\u00DFe.eml"), padded(umlaut));
    EXPECT_EQ(t::readFile(outDir() / "Lunch(1).eml"), t::mail("Lunch") + std::string(padded(t::mail("Lunch")).size() - t::mail("Lunch").size(), '\0'));
    ASSERT_EQ(host.progress.size(), 5u);
    EXPECT_EQ(host.progress.back().filesWritten, 5u);
    EXPECT_EQ(host.progress.back().bytesDone, host.progress.back().bytesTotal);
    EXPECT_EQ(host.settings.outputFolder, outDir().string() + "/");
}

TEST_F(ExtractionRun, MarkersAtOneHundredByteStepsGiveThreeFiles)
{
    std::string image;
    for (int i = 0; i < 3; ++i)
        image += t::record(std::string(84, 'a' + i));
    t::writeFile(in / "m.mbx", image);
    EXPECT_EQ(runExtraction((in / "m.mbx").string(), host).filesWritten, 3u);
    EXPECT_EQ(host.progress[0].filesWritten, 1u);
    EXPECT_EQ(host.progress[1].filesWritten, 2u);
}

TEST_F(ExtractionRun, SettingsAreReadAgainForEveryRecord)
{
    const std::string path = writeMailbox({t::mail("One"), t::mail("Two"), t::mail("Three")});
    host.onFile = [&](const Progress& p) {
        if (p.filesWritten == 1) {
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
        if (p.filesWritten == 2)
            host.settings.outputFolder = other.string();
    };
    runExtraction(path, host);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"Same(1).eml", "Same.eml"}));
    EXPECT_TRUE(std::filesystem::exists(other / "Same.eml"));
}

TEST_F(ExtractionRun, CancelStopsBeforeTheNextRecordAndKeepsWhatIsWritten)
{
    const std::string path = writeMailbox({t::mail("a"), t::mail("b"), t::mail("c")});
    host.onFile = [&](const Progress& p) { host.cancel = p.filesWritten == 2; };
    const RunSummary s = runExtraction(path, host);
    EXPECT_EQ(s.ending, RunEnding::Cancelled);
    EXPECT_EQ(s.filesWritten, 2u);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"a.eml", "b.eml"}));
}

TEST_F(ExtractionRun, MissingFolderOrUnreadableMailboxIsAnErrorAndCreatesNothing)
{
    const auto missing = in / "Nope.mbx";
    try {
        runExtraction(missing.string(), host);
        FAIL() << "a missing mailbox must not complete";
    } catch (const ExtractError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Mailbox);
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    std::filesystem::create_directory(in / "Folder.mbx");
    EXPECT_THROW(runExtraction((in / "Folder.mbx").string(), host), ExtractError);
    EXPECT_TRUE(outNames().empty());
}

TEST_F(ExtractionRun, FileThatIsNoMailboxIsReportedNotCompleted)
{
    t::writeFile(in / "notes.mbx", "Just some text\r\nSubject: hello\r\n");
    EXPECT_THROW(runExtraction((in / "notes.mbx").string(), host), ExtractError);
    t::writeFile(in / "empty.mbx", "");
    EXPECT_THROW(runExtraction((in / "empty.mbx").string(), host), ExtractError);
    // A real mailbox that holds no message completes with no file.
    t::writeFile(in / "none.mbx", t::mailboxHeader());
    EXPECT_EQ(runExtraction((in / "none.mbx").string(), host).ending, RunEnding::Completed);
    EXPECT_TRUE(outNames().empty());
}

TEST_F(ExtractionRun, TakenNamesAreNeverOverwritten)
{
    t::writeFile(outDir() / "Lunch.eml", "keep me");
    std::filesystem::create_directory(outDir() / "Lunch(1).eml");
    t::writeFile(outDir() / ".hidden", "x");
    std::filesystem::create_symlink("nowhere", outDir() / "Lunch(2).eml");
    const std::string path = writeMailbox({t::mail("Lunch"), t::mail("CON"), t::mail(".hidden")});
    host.settings.removeRe = false;
    runExtraction(path, host);
    EXPECT_EQ(t::readFile(outDir() / "Lunch.eml"), "keep me");
    EXPECT_TRUE(std::filesystem::is_directory(outDir() / "Lunch(1).eml"));
    EXPECT_TRUE(std::filesystem::exists(outDir() / "Lunch(3).eml"));
    EXPECT_TRUE(std::filesystem::exists(outDir() / "CON(1).eml"));
    EXPECT_FALSE(std::filesystem::exists(outDir() / "CON.eml"));
    EXPECT_TRUE(std::filesystem::exists(outDir() / "hidden.eml"));
}

TEST_F(ExtractionRun, FileCreatedByAnotherProgramDuringTheRunIsSteppedOver)
{
    const std::string path = writeMailbox({t::mail("Race"), t::mail("Race")});
    host.onFile = [&](const Progress& p) {
        if (p.filesWritten == 1)
            t::writeFile(outDir() / "Race(1).eml", "theirs");
    };
    runExtraction(path, host);
    EXPECT_EQ(t::readFile(outDir() / "Race(1).eml"), "theirs");
    EXPECT_TRUE(std::filesystem::exists(outDir() / "Race(2).eml"));
}

TEST_F(ExtractionRun, UnsafeSettingsAreRefusedBeforeAnythingIsWritten)
{
    const std::string path = writeMailbox({t::mail("a")});
    host.settings = {false, false, "../escape", outDir().string()};
    try {
        runExtraction(path, host);
        FAIL() << "a prefix with a separator must be refused";
    } catch (const ExtractError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Settings);
    }
    host.settings = {true, true, "File", ""};
    EXPECT_THROW(runExtraction(path, host), ExtractError);
    EXPECT_TRUE(outNames().empty());
    EXPECT_THROW(mailboxPath("", "Inbox.mbx"), ExtractError);
    EXPECT_THROW(mailboxPath("/mail", ""), ExtractError);
    EXPECT_EQ(mailboxPath("/mail", "Inbox.mbx"), mailboxPath("/mail/", "Inbox.mbx"));
}

TEST_F(ExtractionRun, MissingOutputFolderIsAnError)
{
    const std::string path = writeMailbox({t::mail("a")});
    host.settings.outputFolder = (out.path() / "gone").string();
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
        if (p.filesWritten == 2)
            std::filesystem::remove_all(outDir());
    };
    EXPECT_THROW(runExtraction(path, host), ExtractError);
    EXPECT_EQ(host.progress.size(), 2u);
}

TEST_F(ExtractionRun, FailingWriteRemovesThePartFileAndKeepsEarlierOnes)
{
    const std::string big(64 * 1024, 'x');
    const std::string path = writeMailbox({t::mail("small"), t::mail("big", big), t::mail("after")});
    // A file size limit makes the second write fail half way, like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit low = old;
    low.rlim_cur = 16 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    std::string message;
    try {
        runExtraction(path, host);
    } catch (const ExtractError& e) {
        message = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_NE(message.find("big.eml"), std::string::npos) << message;
    EXPECT_NE(message.find("File too large"), std::string::npos) << message;
    EXPECT_EQ(outNames(), (std::vector<std::string>{"small.eml"}));
}

TEST_F(ExtractionRun, UnwritableOutputFolderIsAnError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: folder permissions do not stop root";
    const std::string path = writeMailbox({t::mail("a")});
    std::filesystem::permissions(outDir(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_THROW(runExtraction(path, host), ExtractError);
    std::filesystem::permissions(outDir(), std::filesystem::perms::owner_all);
}
