// mbox and Maildir output: the quoting and the names on their own, then whole runs.
#include "errors.h"
#include "imap_store.h"
#include "maildir_store.h"
#include "mbox_store.h"
#include "maildir_format.h"
#include "modified_utf7.h"
#include "mbox_format.h"
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
        // Addresses as RFC 5322 has them: the angle brackets' outside quotes and comments,
        // the first of a list.
        {"From: \"a<b\" <c@d.example>\n", "From c@d.example Thu Jan  1 00:00:00 1970\n"},
        {"From: j@x.example (Joe <x>)\n", "From j@x.example Thu Jan  1 00:00:00 1970\n"},
        {"From: a@b.example, c@d.example\n", "From a@b.example Thu Jan  1 00:00:00 1970\n"},
        // What a reader would take for something else: 8-bit text, quotes, backslashes, an
        // address of 10,000 bytes; the next field, else the placeholder.
        {"From: J <j\xF6rg@x.de>\n", "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n"},
        {"Return-Path: <\"a@x>\nFrom: b@example.com\n", "From b@example.com Thu Jan  1 00:00:00 1970\n"},
        {"Return-Path: <a\"b@x>\n", "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n"},
        {"Return-Path: <a\\>\n", "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n"},
        // A From line's year has four digits: the year 10000 in UTC is not read.
        {"Date: Fri, 31 Dec 9999 12:00:00 -1200\n", "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mboxFromLine(c.header), c.line) << c.header;
    EXPECT_EQ(mboxFromLine("From: <" + std::string(10000, 'a') + "@x>\n"), "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n");
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
    // A server opens no folder that begins with "~"; its listescape reads "\7e" back.
    EXPECT_EQ(maildirFolderName("~Sent"), ".\\7eSent");
    EXPECT_EQ(maildirFolderName("Sent", "(2)"), ".Sent(2)");
    // A name too long for a file system in modified UTF-7 is cut by whole characters to fit
    // its 255 bytes, and its number still follows it.
    const auto repeated = [](std::string_view c, int n) {
        std::string name;
        for (int i = 0; i < n; ++i)
            name += c;
        return name;
    };
    for (const auto& [character, count] : {std::pair{std::string_view("\xD0\x96"), 100}, {"\xC3\xA9", 125},
                                           {"\xF0\x9F\x93\xA7", 62}, {"&", 251}}) {
        SCOPED_TRACE(std::string(character));
        const std::string name = repeated(character, count);
        for (const std::string_view number : {"", "(12)"}) {
            const std::string folder = maildirFolderName(name, number);
            EXPECT_LE(folder.size(), 255u);
            EXPECT_TRUE(folder.ends_with(number)) << folder;
            // The whole characters it kept: one more would not fit.
            const auto encoded = [&](int n) {
                return std::string(1, '.').append(carrowin::text::modifiedUtf7(repeated(character, n) + std::string(number)));
            };
            int kept = 0;
            while (kept < count && encoded(kept) != folder)
                ++kept;
            EXPECT_LT(kept, count);
            EXPECT_GT(encoded(kept + 1).size(), 255u);
        }
    }
    EXPECT_EQ(maildirUniqueName(1700000000, 42, 7, 3, "mail/host:1"), "1700000000.M42P7Q3.mail\\057host\\0721");
}

TEST(ImapNames, FoldersAreLevelsOfTheServersSeparatorInModifiedUtf7)
{
    const struct {
        std::string_view top;
        std::string_view mailbox;
        std::optional<char> separator;
        std::string_view folder;
    } cases[] = {
        {"INBOX", "", '.', "INBOX"},
        {"INBOX", "Sent Items", '.', "INBOX.Sent Items"},
        {"Rescued/2003", "Sent", '.', "Rescued.2003.Sent"}, // the URL's levels are the server's
        {"INBOX", "Archiv.2003", '.', "INBOX.Archiv&ICQ-2003"}, // U+2024
        {"INBOX", "a/b", '/', "INBOX/a&IhU-b"},                  // U+2215
        {"INBOX", "a.b", '/', "INBOX/a.b"},
        {"INBOX", "a:b", ':', "INBOX:a_b"},
        {"Rescued", "a/b", std::nullopt, "Rescued/a/b"}, // a flat server: one name
        {"Gel\xC3\xB6scht", "R&D", '/', "Gel&APY-scht/R&-D"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(serverFolderName({std::string(c.top), std::string(c.mailbox)}, c.separator), c.folder) << c.mailbox;
    EXPECT_EQ(shownFolder({"INBOX", "Sent Items"}), "INBOX/Sent Items");
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
    // Each message's own bytes, without its record's padding; a line end added to the last,
    // which has none, and an empty line before every From line but the first.
    const std::string want = "From a@example.com Tue Feb  3 09:20:30 2004\n" + t::quotedByRule(first) + "\n"
                             + "From big@example.com Thu Jan  1 00:00:00 1970\n" + t::quotedByRule(large) + "\n"
                             + "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n" + t::quotedByRule(last) + "\n\n";
    EXPECT_TRUE(t::readFile(outFile("Inbox.mbox")) == want); // megabytes: no difference printed
}

TEST_F(MailFolderRun, AFromLineComesFromTheWholeHeaderHoweverLong)
{
    // The sender and the date lie beyond 4 MiB of other fields.
    std::string header = "Subject: long\r\n";
    while (header.size() < (std::size_t{4} << 20))
        header += "Received: from somewhere by somewhere else, for nobody\r\n";
    const std::string message = header + "Return-Path: <late@example.com>\r\nDate: Tue, 3 Feb 2004 10:20:30 +0100\r\n"
                                         "\r\nFrom the body\r\n";
    const std::string path = writeMailbox({message, t::mail("after")});
    EXPECT_EQ(mbox(path), "Inbox.mbox");
    const std::string want = "From late@example.com Tue Feb  3 09:20:30 2004\n" + t::quotedByRule(message) + "\n"
                             + "From a@example.com Thu Jan  1 00:00:00 1970\n" + t::mail("after") + "\n";
    EXPECT_TRUE(t::readFile(outFile("Inbox.mbox")) == want); // megabytes: no difference printed
    EXPECT_EQ(outNames(), std::vector<std::string>{"Inbox.mbox"}) << "nothing of the header is left beside it";
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
    EXPECT_EQ(t::readFile(outFile("Inbox(2).mbox")), "From a@example.com Thu Jan  1 00:00:00 1970\n" + t::mail("one") + "\n");

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
    std::vector<std::string> want{t::mail("one"), large, dated}; // their own bytes, no padding
    std::sort(want.begin(), want.end());
    EXPECT_TRUE(filesIn(outDir() / "Sent Items/cur") == want);
    EXPECT_TRUE(fs::is_empty(outDir() / "Sent Items/tmp"));
    EXPECT_TRUE(fs::is_empty(outDir() / "Sent Items/new"));
    EXPECT_TRUE(fs::exists(outDir() / "Sent Items/maildirfolder"));
    for (const auto& e : fs::directory_iterator(outDir() / "Sent Items/cur")) {
        EXPECT_TRUE(e.path().filename().string().ends_with(":2,S")) << e.path();
        if (t::readFile(e.path()) == dated) {
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
TEST_F(MailFolderRun, SkipExistingFindsTheMessagesOfAMaildirThatKeptTheirPadding)
{
    // A Maildir written before messages left their records' padding out holds each
    // message's whole body: those messages are there already, and are not added again.
    const std::vector<std::string> mails{t::mail("one!"), t::mail("two!!"), t::mail("three!")};
    for (std::size_t i = 0; i < mails.size(); ++i) {
        fs::create_directories(outDir() / "cur");
        t::writeFile(outDir() / "cur" / ("100000000" + std::to_string(i) + ".M1P1Q1.old:2,S"), t::padded(mails[i]));
    }
    for (const std::string& m : mails)
        ASSERT_NE(t::padded(m), m) << "each message has padding in its record";
    const RunSummary s = runMailbox({writeMailbox(mails)}, maildirStore(utf8(outDir()), false), host, {.skipExisting = true});
    EXPECT_EQ(s.skipped, 3u);
    EXPECT_EQ(s.filesWritten, 0u);
    EXPECT_EQ(filesIn(outDir() / "cur").size(), 3u);
}
#endif
