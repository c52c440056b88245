// mbox and Maildir output: the quoting and the names on their own, then whole runs.
#include "errors.h"
#include "maildir_store.h"
#include "mbox_store.h"
#include "mail_formats.h"
#include "run_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

using namespace carrowin::extract;
using carrowin::testing::utf8;
namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

std::string quotedInPieces(std::string_view message, std::size_t piece)
{
    MboxQuoter quoter;
    std::string out;
    for (std::size_t at = 0; at < message.size(); at += piece)
        quoter.add(message.substr(at, piece), out);
    quoter.finish(out);
    return out;
}

} // namespace

TEST(MboxQuoting, QuotesEveryFromLineHoweverThePiecesFall)
{
    for (const std::string_view message :
         {"From here\r\n>From there\r\n>>From far\nFrom\nFromage\nFrom", "x\nFrom y\n\nFrom z", ">>>", "F", ">From ",
          "a From b\n From c\n>\n>F\n>Fro\nFrom x", ""}) {
        const std::string want = t::quotedByRule(message);
        for (std::size_t piece = 1; piece <= message.size() + 1; ++piece)
            EXPECT_EQ(quotedInPieces(message, piece), want) << message << " in pieces of " << piece;
    }
    // And any text of the letters that matter, in pieces of any size.
    std::mt19937 random(21);
    constexpr std::string_view kLetters{"From >\nx"};
    for (int i = 0; i < 3000; ++i) {
        std::string message(random() % 40, ' ');
        for (char& c : message)
            c = kLetters[random() % kLetters.size()];
        const std::size_t piece = 1 + random() % 12;
        ASSERT_EQ(quotedInPieces(message, piece), t::quotedByRule(message)) << message << " in pieces of " << piece;
    }
}

TEST(MboxQuoting, FromLinesNameTheSenderAndDateOrTheirPlaceholders)
{
    const struct {
        std::string_view header;
        std::string_view line;
    } cases[] = {
        {"Return-Path: <bounce@example.com>\r\nFrom: Ann <ann@example.com>\r\nDate: Tue, 3 Feb 2004 10:20:30 +0100\r\n",
         "From bounce@example.com Tue Feb  3 09:20:30 2004\n"},
        {"From: ann@example.com (Ann)\nDate: Sun, 31 Dec 2000 23:59:59 -0000\n", "From ann@example.com Sun Dec 31 23:59:59 2000\n"},
        {"Return-Path: <>\nFrom: \"A B\" <a b@example.com>\n", "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n"},
        {"Subject: none\nDate: not a date\n", "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n"},
        {"Date: Mon, 29 Feb 2072 01:02:03 +0000\n", "From MAILER-DAEMON Mon Feb 29 01:02:03 2072\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mboxFromLine(c.header), c.line) << c.header;
}

TEST(MaildirNames, FoldersAreOneMaildirPlusPlusLevelInModifiedUtf7)
{
    const struct {
        std::string_view mailbox;
        std::string_view folder;
    } cases[] = {
        {"Sent Items", ".Sent Items"},
        {"Archiv.2003", ".Archiv\\2e2003"},
        {"a\\b", ".a\\5cb"},
        {"Gel\xC3\xB6schte", ".Gel&APY-schte"},
        {"Gel\xF6schte", ".Gel&APY-schte"}, // Windows-1252
        {"R&D", ".R&-D"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", ".&ZeVnLIqe-"},
        {"\xF0\x9F\x93\xA7 mail", ".&2D3c5w- mail"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(maildirFolderName(c.mailbox), c.folder) << c.mailbox;
    EXPECT_EQ(maildirUniqueName(1700000000, 42, 7, 3, "mail/host:1"), "1700000000.M42P7Q3.mail\\057host\\0721");
}

namespace {

class MailFolderRun : public t::ExtractionRun {
protected:
    std::string mbox(const std::string& path, const RunOptions& options = {})
    {
        summary = runMailbox({path}, mboxStore(utf8(outDir()), "Inbox"), host, options);
        return summary.fileName;
    }
    RunSummary summary;
};

// A message larger than a read piece, with "From " lines where the pieces meet.
std::string largeMessage()
{
    std::string m = "Subject: large\nFrom: big@example.com\n\n";
    while (m.size() < (std::size_t{3} << 20))
        m += "From the piece " + std::to_string(m.size()) + "\n>From quoted\nplain line of text\n";
    return m;
}

} // namespace

TEST_F(MailFolderRun, AnMboxHoldsEveryMessageQuotedAfterItsFromLine)
{
    const std::string first = "From: a@example.com\r\nDate: Tue, 3 Feb 2004 10:20:30 +0100\r\n\r\nFrom me\r\n";
    const std::string large = largeMessage();
    const std::string last = "Subject: no end\r\n\r\nlast";
    const std::string path = writeMailbox({first, large, last});
    EXPECT_EQ(mbox(path), "Inbox.mbox");
    EXPECT_EQ(summary.filesWritten, 3u);
    EXPECT_EQ(host.named, 3u);
    EXPECT_EQ(t::readFile(outFile("Inbox.mbox")),
              "From a@example.com Tue Feb  3 09:20:30 2004\n" + t::quotedByRule(t::padded(first)) + "\n"
                  + "From big@example.com Thu Jan  1 00:00:00 1970\n" + t::quotedByRule(t::padded(large)) + "\n"
                  + "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n" + t::quotedByRule(t::padded(last)) + "\n");
}

TEST_F(MailFolderRun, AnMboxNeverReplacesNorAddsToAFile)
{
    t::writeFile(outFile("Inbox.mbox"), "someone else's");
    const std::string path = writeMailbox({t::mail("one"), t::mail("two")});
    EXPECT_EQ(mbox(path), "Inbox(1).mbox");
    EXPECT_EQ(t::readFile(outFile("Inbox.mbox")), "someone else's");

    // Cancelled after the first message: what was complete is there, under a name.
    host.onFile = [&](const Progress&) { host.cancel = true; };
    EXPECT_EQ(mbox(path), "Inbox(2).mbox");
    EXPECT_EQ(summary.ending, RunEnding::Cancelled);
    EXPECT_EQ(t::readFile(outFile("Inbox(2).mbox")), "From a@example.com Thu Jan  1 00:00:00 1970\n" + t::padded(t::mail("one")) + "\n");

    EXPECT_THROW(mbox(path, {.skipExisting = true}), ExtractError);
    const std::string other = utf8(in.path() / "not.mbx");
    t::writeFile(in.path() / "not.mbx", "plain text, no mailbox");
    EXPECT_THROW(mbox(other), ExtractError);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"Inbox(1).mbox", "Inbox(2).mbox", "Inbox.mbox"}))
        << "no file for what failed";
}

#ifndef _WIN32 // Maildir names hold ":", which Windows refuses
namespace {

std::vector<std::string> filesIn(const fs::path& folder)
{
    std::vector<std::string> bytes;
    for (const auto& e : fs::directory_iterator(folder))
        bytes.push_back(t::readFile(e.path()));
    std::sort(bytes.begin(), bytes.end());
    return bytes;
}

} // namespace

TEST_F(MailFolderRun, AMaildirHoldsEveryMessageSeenInCurAndAddsOnlyWhatIsNew)
{
    const std::string large = largeMessage();
    const std::string dated = "Date: Sun, 31 Dec 2000 23:59:59 +0000\r\n\r\nText.\r\n";
    std::string path = writeMailbox({t::mail("one"), large, dated});
    const std::string maildir = utf8(outDir() / "Sent Items");
    RunSummary s = runMailbox({path}, maildirStore(maildir, true), host, {.dates = true});
    EXPECT_EQ(s.filesWritten, 3u);
    EXPECT_EQ(s.undated, 2u);
    std::vector<std::string> want{t::padded(t::mail("one")), t::padded(large), t::padded(dated)};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(filesIn(outDir() / "Sent Items/cur"), want);
    EXPECT_TRUE(fs::is_empty(outDir() / "Sent Items/tmp"));
    EXPECT_TRUE(fs::is_empty(outDir() / "Sent Items/new"));
    EXPECT_TRUE(fs::exists(outDir() / "Sent Items/maildirfolder"));
    for (const auto& e : fs::directory_iterator(outDir() / "Sent Items/cur")) {
        EXPECT_TRUE(e.path().filename().string().ends_with(":2,S")) << e.path();
        if (t::readFile(e.path()) == t::padded(dated)) {
            const auto age = fs::last_write_time(e.path()) - fs::file_time_type::clock::now();
            const auto when = std::chrono::system_clock::now() + std::chrono::duration_cast<std::chrono::system_clock::duration>(age);
            EXPECT_NEAR(std::chrono::duration<double>(when.time_since_epoch()).count(), 978307199.0, 2.0);
        }
    }

    // Again, with one message more: only that one is added.
    path = writeMailbox({t::mail("one"), large, dated, t::mail("four")});
    s = runMailbox({path}, maildirStore(maildir, true), host, {.skipExisting = true});
    EXPECT_EQ(s.filesWritten, 1u);
    EXPECT_EQ(s.skipped, 3u);
    EXPECT_EQ(filesIn(outDir() / "Sent Items/cur").size(), 4u);

    const std::vector<std::string> before = outNames();
    s = runMailbox({path}, maildirStore(utf8(outDir() / "new one"), false), host, {.dryRun = true});
    EXPECT_EQ(s.filesWritten, 4u);
    EXPECT_EQ(outNames(), before) << "a dry run makes nothing";
}
#endif
