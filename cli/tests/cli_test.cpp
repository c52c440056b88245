#include "paths.h"
#include "progress_line.h"
#include "test_support.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <thread>

namespace t = carrowin::testing;
namespace fs = std::filesystem;
using t::Outcome;

namespace {

const fs::path kCli = t::programFolder() / t::pathOf(CARROWIN_CLI_PATH);

Outcome runCli(const std::vector<std::string>& args, const fs::path& cwd)
{
    return t::runProcess(kCli, args, cwd);
}

class Cli : public ::testing::Test {
protected:
    t::TempDir dir;
};

} // namespace

TEST_F(Cli, SplitsIntoTheCurrentFolderBySubject)
{
    t::writeFile(dir / "Inbox.mbx", t::mailbox({t::mail("Re: Hello, world!"), t::mail("Hello world"),
                                                 "Newsgroups: alt.test\r\nSubject: News\r\n\r\nx"}));
    const Outcome r = runCli({"Inbox.mbx"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Inbox.mbx: 3 messages written to .\n");
    EXPECT_EQ(r.err, "") << "no progress when stderr is not a terminal";
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"Hello world(1).eml", "Hello world.eml", "Inbox.mbx", "News.nws"}));
}

TEST_F(Cli, PrefixStartsAgainForEveryMailboxAndKeepReKeepsIt)
{
    t::writeFile(dir / "a.mbx", t::mailbox({t::mail("x"), t::mail("y")}));
    t::writeFile(dir / "b.mbx", t::mailbox({t::mail("z")}));
    Outcome r = runCli({"--prefix", "Mail", "-o", "out/deep", "a.mbx", "b.mbx"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "a.mbx: 2 messages written to out/deep\nb.mbx: 1 message written to out/deep\n"
                     "2 mailboxes, 3 messages written to out/deep\n");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir / "out/deep"))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Mail(1).eml", "Mail(2).eml", "Mail.eml"}));

    t::writeFile(dir / "re.mbx", t::mailbox({t::mail("Re: Hi")}));
    r = runCli({"--keep-re", "-q", "-o", "kept", "re.mbx"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "kept/Re Hi.eml"));
}

TEST_F(Cli, FailureNamesTheFileAndTheReason)
{
    t::writeFile(dir / "text.mbx", "plain text, no mailbox\n");
    t::writeFile(dir / "good.mbx", t::mailbox({t::mail("fine")}));
    const Outcome r = runCli({"-o", "out", "missing.mbx", "text.mbx", "good.mbx"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.mbx\": " + t::missingFileCode().message()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"text.mbx\" is not an OE4 mailbox"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "good.mbx: 1 message written to out\n1 mailbox, 1 message written to out; 2 failed\n");
    EXPECT_FALSE(fs::exists(dir / "missing.mbx"));
    // When no mailbox comes as far as writing a message, no output folder is made.
    const Outcome none = runCli({"-o", "never", "missing.mbx", "text.mbx"}, dir.path());
    EXPECT_EQ(none.status, 1);
    EXPECT_FALSE(fs::exists(dir / "never"));
}

TEST_F(Cli, RefusesAPrefixThatNamesAFolderBeforeAnything)
{
    t::writeFile(dir / "a.mbx", t::mailbox({t::mail("x")}));
    const Outcome r = runCli({"--prefix", "../up", "-o", "out", "a.mbx"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("carrowin-cli: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("../up"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(Cli, ArgumentsAreUnicodeWhateverTheCodePage)
{
    t::writeFile(dir / "Posteingang-\u00E9.mbx", t::mailbox({t::mail("x")}));
    const Outcome r = runCli({"--prefix", "J\u00F6rg \u65E5\u672C", "-o", "Ausgabe-\u00FC", "Posteingang-\u00E9.mbx"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Posteingang-\u00E9.mbx: 1 message written to Ausgabe-\u00FC\n");
    EXPECT_EQ(t::readFile(dir / "Ausgabe-\u00FC/J\u00F6rg \u65E5\u672C.eml"), t::padded(t::mail("x")));
}

TEST_F(Cli, PathsThatStartWithASlashAreNoOptions)
{
    // Read as a Windows-style option, the path was "not expected" or left MAILBOX missing.
    const Outcome r = runCli({"-q", "/no-such-folder/Inbox.mbx"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot open the mailbox \"/no-such-folder/Inbox.mbx\""), std::string::npos) << r.err;
}

TEST_F(Cli, HelpAndVersionAndUsageErrors)
{
    Outcome r = runCli({"--help"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--prefix"), std::string::npos);
    EXPECT_NE(r.out.find("Exit status"), std::string::npos);
    EXPECT_NE(r.out.find("Example"), std::string::npos);
    r = runCli({"--version"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "carrowin-cli 2.11.0\n");
    // Usage errors: status 2, the program's name first, and where to read more.
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, std::vector<std::string>{"--bogus", "a.mbx"},
                                                 std::vector<std::string>{"--format", "mh", "a.mbx"}}) {
        r = runCli(args, dir.path());
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("carrowin-cli: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
    EXPECT_NE(runCli({}, dir.path()).err.find("MAILBOX"), std::string::npos);
    // "-?" asks for the help as well, and on Windows "/?" as its programs take it; the
    // exit statuses of an interruption are the platform's.
    const bool windows = carrowin::text::kPathSeparator == '\\';
    for (const char* ask : {"-?", "/?"}) {
        r = runCli({ask}, dir.path());
        const bool help = std::string(ask) == "-?" || windows;
        EXPECT_EQ(r.status, help ? 0 : 1) << ask << r.err;
        EXPECT_EQ(r.out.find("Exit status") != std::string::npos, help) << ask;
    }
    EXPECT_EQ(runCli({"--help"}, dir.path()).out.find("SIGTERM") != std::string::npos, !windows);
    EXPECT_EQ(runCli({"--help"}, dir.path()).out.find("Ctrl+Break") != std::string::npos, windows);
    // Standard input can be read once only.
    r = runCli({"-", "-"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("once"), std::string::npos) << r.err;
}

TEST_F(Cli, FormatMboxWritesAFileAMailboxAndNeverAddsToOne)
{
    t::writeFile(dir / "Inbox.mbx", t::mailbox({t::mail("one"), t::mail("two", "From here\r\n")}));
    Outcome r = runCli({"--format", "mbox", "--prefix", "x", "-o", "out", "Inbox.mbx"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Inbox.mbx: 2 messages written to " + carrowin::text::joinPath("out", "Inbox.mbox") + "\n");
    EXPECT_NE(r.err.find("--prefix has no effect with --format mbox"), std::string::npos) << r.err;
    const std::string mbox = t::readFile(dir / "out/Inbox.mbox");
    EXPECT_EQ(mbox.rfind("From a@example.com Thu Jan  1 00:00:00 1970\n", 0), 0u) << mbox;
    EXPECT_NE(mbox.find("\r\n>From here\r\n"), std::string::npos) << mbox;
    EXPECT_EQ(runCli({"--format", "mbox", "-o", "out", "Inbox.mbx"}, dir.path()).out,
              "Inbox.mbx: 2 messages written to " + carrowin::text::joinPath("out", "Inbox(1).mbox") + "\n");

    r = runCli({"--format", "mbox", "--skip-existing", "-o", "out", "Inbox.mbx"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("never added to"), std::string::npos) << r.err;
    EXPECT_EQ(t::entriesOf(dir / "out"), (std::vector<std::string>{"Inbox(1).mbox", "Inbox.mbox"}));
}

TEST_F(Cli, FormatMaildirMakesAStoreOneMaildirPlusPlusTree)
{
    fs::create_directory(dir / "store");
    t::writeFile(dir / "store/Inbox.mbx", t::mailbox({t::mail("one")}));
    t::writeFile(dir / "store/Sent Items.mbx", t::mailbox({t::mail("two"), t::mail("three")}));
    Outcome r = runCli({"--format", "maildir", "-o", "mail", "store"}, dir.path());
#ifdef _WIN32
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not available on Windows"), std::string::npos) << r.err;
#else
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(t::entriesOf(dir / "mail"), (std::vector<std::string>{".Sent Items", "cur", "new", "tmp"}));
    EXPECT_EQ(t::entriesOf(dir / "mail/cur").size(), 1u);
    EXPECT_EQ(t::entriesOf(dir / "mail/.Sent Items/cur").size(), 2u);
    // A second run adds only what is new.
    t::writeFile(dir / "store/Sent Items.mbx", t::mailbox({t::mail("two"), t::mail("three"), t::mail("four")}));
    r = runCli({"--format", "maildir", "--skip-existing", "-o", "mail", "store"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Sent Items.mbx: 1 message written to mail/.Sent Items; 2 already there\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(t::entriesOf(dir / "mail/.Sent Items/cur").size(), 3u);
#endif
}

TEST_F(Cli, InterruptStopsBeforeTheNextMessageAndKeepsCompleteFiles)
{
    std::vector<std::string> messages;
    const std::string text(2000, 'x');
    for (int i = 0; i < 40000; ++i)
        messages.push_back(t::mail("Message " + std::to_string(i), text));
    t::writeFile(dir / "big.mbx", t::mailbox(messages));
    fs::create_directory(dir / "out");
    t::ChildProcess run(kCli, {"-o", "out", "big.mbx"}, dir.path());
    while (fs::is_empty(dir / "out"))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    run.interrupt();
    const Outcome r = run.wait();
    EXPECT_EQ(r.status, 130) << r.err;
    std::size_t count = 0;
    for (const auto& e : fs::directory_iterator(dir / "out")) {
        const std::string name = e.path().stem().string(); // "Message N"
        const int n = std::stoi(name.substr(8));
        std::string expected = t::mail("Message " + std::to_string(n), text);
        expected.resize(expected.size() + (4 - expected.size() % 4) % 4, '\0');
        EXPECT_EQ(t::readFile(e.path()), expected) << name;
        ++count;
    }
    EXPECT_LT(count, messages.size());
}

TEST_F(Cli, SplitsAMailboxLargerThanFourGibibytes)
{
    // A sparse file: the header, a hole, then two records past 4 GiB.
    const std::string first = t::mail("Beyond four", "y");
    const std::string second = t::mail("Last", "z");
    const std::uint64_t at = (std::uint64_t{1} << 32) + 12345;
    const std::string records = t::record(first, 2) + t::record(second, 3);
    t::writeSparseFile(dir / "big.mbx", at + records.size(), {{0, t::mailboxHeader()}, {at, records}});
    ASSERT_GT(fs::file_size(dir / "big.mbx"), std::uintmax_t{1} << 32);
    const Outcome r = runCli({"-o", "out", "big.mbx"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "big.mbx: 2 messages written to out\n");
    EXPECT_EQ(t::readFile(dir / "out/Beyond four.eml"), first);
    EXPECT_EQ(t::readFile(dir / "out/Last.eml"), second);
}

TEST(ProgressLine, FitsTheTerminalByShorteningTheLabel)
{
    using carrowin::cli::ProgressLine;
    const carrowin::extract::Progress p{.filesNamed = 12, .bytesDone = 3 * 1048576, .bytesTotal = 10 * 1048576};
    const std::string figures = ": 12 messages, 3.0 of 10.0 MiB, 1.5 MiB/s";
    EXPECT_EQ(ProgressLine::format("Inbox.mbx", p, 2.0, 80), "Inbox.mbx" + figures);
    // 79 columns at most for 80: the start of a long path gives way, never the figures.
    const std::string path = "/home/someone/rescued/backups/2003/" + std::string(60, 'x') + "/Inbox.mbx";
    const std::string cut = ProgressLine::format(path, p, 2.0, 80);
    EXPECT_EQ(carrowin::text::countCharacters(cut), 79u) << cut;
    EXPECT_TRUE(cut.starts_with("\u2026")) << cut;
    EXPECT_TRUE(cut.ends_with("/Inbox.mbx" + figures)) << cut;
    // Characters, not bytes: a label of two-byte characters is cut between whole characters.
    std::string accents;
    for (int i = 0; i < 100; ++i)
        accents += "\u00E9";
    const std::string cutAccents = ProgressLine::format(accents, p, 2.0, 60);
    EXPECT_EQ(carrowin::text::countCharacters(cutAccents), 59u);
    EXPECT_TRUE(cutAccents.starts_with("\u2026\u00E9")) << cutAccents;
    // Too narrow even for the figures: they are cut, and the line still fits.
    EXPECT_EQ(ProgressLine::format(path, p, 2.0, 20).size(), 19u);
    // The size of standard input is not known.
    EXPECT_EQ(ProgressLine::format("standard input", {.filesNamed = 1, .bytesDone = 1048576}, 1.0, 80),
              "standard input: 1 messages, 1.0 MiB, 1.0 MiB/s");
}

TEST(Summary, CountsInWordsWithThousands)
{
    using carrowin::cli::summaryText;
    EXPECT_EQ(summaryText({1, 0, 0}, "out/", false), "1 message written to out/");
    EXPECT_EQ(summaryText({0, 0, 0}, ".", false), "0 messages written to .");
    EXPECT_EQ(summaryText({12345, 0, 0}, ".", false), "12,345 messages written to .");
    EXPECT_EQ(summaryText({1234567, 1000, 7}, "o", false),
              "1,234,567 messages written to o; 1,000 already there; 7 without a readable date");
    EXPECT_EQ(summaryText({2, 0, 0}, "o", true), "2 messages would be written to o");
}
