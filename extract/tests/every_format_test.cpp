// What every output format must do, run for each of them: every message whole, cancel,
// failures that keep only whole messages, a stream, what is no mailbox, nothing replaced,
// a dry run, and adding only what is new where a format can be added to. What a format
// should hold is worked out here from the record bytes and the mbox rule, line by line.
#include "errors.h"
#include "extract_error.h"
#include "maildir_store.h"
#include "mbox_store.h"
#include "path_rules.h"
#include "run_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

using namespace carrowin::extract;
namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

// A file's bytes as a failure shows them: its size, a hash of them and how they begin
// (a message of megabytes would make the difference too large to show).
std::string digestOf(std::string_view bytes)
{
    std::uint64_t hash = 1469598103934665603u; // FNV-1a
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    std::string start;
    for (const char c : bytes.substr(0, 24))
        start += c >= ' ' && c < 0x7f ? std::string(1, c) : "\\x" + std::to_string(static_cast<unsigned char>(c));
    return std::to_string(bytes.size()) + " bytes #" + std::to_string(hash % 1000000007) + " \"" + start + "\"";
}

// The bytes of every entry of a folder (a folder's name for a folder), sorted; none for
// a folder that is not there.
std::vector<std::string> entriesIn(const fs::path& folder, std::string_view ending = "")
{
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (t::utf8(e.path().filename()).ends_with(ending))
            found.push_back(e.is_directory() ? "folder " + t::utf8(e.path().filename()) : digestOf(t::readFile(e.path())));
    return sorted(found);
}

// A message as its record holds it: the text (its own bytes) and the whole body, the
// padding after the text included. Where the record's header is not sound, its own bytes
// are the whole body.
struct Mail {
    std::string own;
    std::string body;
};

// A file a message: the record's body, as the mailbox holds it.
std::vector<std::string> bodyOfEach(const std::vector<Mail>& mails)
{
    std::vector<std::string> out;
    for (const Mail& m : mails)
        out.push_back(digestOf(m.body));
    return sorted(out);
}

// A Maildir's files: each message's own bytes.
std::vector<std::string> ownBytesOfEach(const std::vector<Mail>& mails)
{
    std::vector<std::string> out;
    for (const Mail& m : mails)
        out.push_back(digestOf(m.own));
    return sorted(out);
}

// Every message of the suite is from a@example.com and has no Date.
constexpr std::string_view kFromLine{"From a@example.com Thu Jan  1 00:00:00 1970\n"};

// Each message's own bytes after its From line, quoted; a line end where it has none, and
// an empty line before the next From line.
std::vector<std::string> asOneMbox(const std::vector<Mail>& mails)
{
    if (mails.empty())
        return {};
    std::string mbox;
    for (const Mail& m : mails)
        mbox += std::string(kFromLine) + t::quotedByRule(m.own) + (m.own.empty() || m.own.ends_with('\n') ? "\n" : "\n\n");
    return {digestOf(mbox)};
}

// A Maildir: its messages are the files of cur/; anything in tmp/ or new/ is stray.
std::vector<std::string> maildirContents(const fs::path& out)
{
    std::vector<std::string> found = entriesIn(out / "cur");
    for (const char* stray : {"tmp", "new"})
        for (const std::string& e : entriesIn(out / stray))
            found.push_back(std::string(stray) + "/ holds " + e);
    return found;
}

// One output format as the suite sees it.
struct Format {
    std::string name;
    bool canBeAddedTo;
    bool keepsWholeMessagesAtAFailure; // else a failure leaves nothing
    RunSummary (*run)(const MailboxSource&, const fs::path& out, t::FakeHost&, const RunOptions&);
    // What the output holds: each file that holds messages, by its bytes (digestOf), sorted.
    std::vector<std::string> (*contents)(const fs::path& out);
    // What it should hold for these messages.
    std::vector<std::string> (*expected)(const std::vector<Mail>& mails);
    // Where its messages get their names.
    fs::path (*namedIn)(const fs::path& out);
    // Puts files of someone else's where the run is to write.
    std::vector<fs::path> (*occupy)(const fs::path& out);
};

const Format kEml{
    "eml", true, true,
    [](const MailboxSource& s, const fs::path& out, t::FakeHost& host, const RunOptions& o) {
        host.settings.outputFolder = t::utf8(out);
        return runMailbox(s, emlStore(host), host, o);
    },
    [](const fs::path& out) { return entriesIn(out); },
    bodyOfEach,
    [](const fs::path& out) { return out; },
    [](const fs::path& out) { return std::vector<fs::path>{out / "one.eml", out / "large.eml"}; },
};

const Format kMbox{
    "mbox", false, false,
    [](const MailboxSource& s, const fs::path& out, t::FakeHost& host, const RunOptions& o) {
        return runMailbox(s, mboxStore(t::utf8(out), "Inbox"), host, o);
    },
    [](const fs::path& out) { return entriesIn(out, ".mbox"); },
    asOneMbox,
    [](const fs::path& out) { return out; },
    [](const fs::path& out) { return std::vector<fs::path>{out / "Inbox.mbox"}; },
};

const Format kMaildir{
    "maildir", true, true,
    [](const MailboxSource& s, const fs::path& out, t::FakeHost& host, const RunOptions& o) {
        return runMailbox(s, maildirStore(t::utf8(out), false), host, o);
    },
    maildirContents,
    ownBytesOfEach,
    [](const fs::path& out) { return out / "cur"; },
    [](const fs::path& out) {
        fs::create_directories(out / "cur");
        fs::create_directories(out / "new");
        return std::vector<fs::path>{out / "cur/1000000000.M1P1Q1.elsewhere:2,S", out / "new/1000000000.M2P1Q1.elsewhere"};
    },
};

// A message larger than what is kept whole and than a piece read, with "From " lines.
std::string largeMessage()
{
    std::string body;
    while (body.size() < (std::size_t{3} << 20))
        body += "From the piece " + std::to_string(body.size()) + "\n>From quoted\nplain line of text\n";
    return t::mail("large", body);
}

class EveryFormat : public t::ExtractionRun, public ::testing::WithParamInterface<const Format*> {
protected:
    void SetUp() override
    {
        t::ExtractionRun::SetUp();
        // Maildir names hold ":", which Windows refuses.
        if (format().name == "maildir" && firstRefusedFileNameCharacter(":"))
            GTEST_SKIP() << "no Maildir where file names cannot hold \":\"";
    }
    const Format& format() const { return *GetParam(); }
    RunSummary run(const std::string& path, const RunOptions& options = {}, const fs::path& into = {})
    {
        return format().run({path}, into.empty() ? outDir() : into, host, options);
    }
    std::vector<std::string> contents() const { return format().contents(outDir()); }
    // The messages of a mailbox as t::mailbox writes it: records with sound headers.
    std::vector<std::string> expected(const std::vector<std::string>& messages) const
    {
        std::vector<Mail> mails;
        for (const std::string& m : messages)
            mails.push_back({m, t::padded(m)});
        return format().expected(mails);
    }

    const std::string large = largeMessage();
    const std::vector<std::string> messages{t::mail("one"), large, "From: a@example.com\nSubject: lf\n\nFrom here\n",
                                            "From: a@example.com\r\nSubject: end\r\n\r\nno line end"};
};

} // namespace

TEST_P(EveryFormat, WritesEveryMessageWholeTheLargeOnesToo)
{
    const RunSummary s = run(writeMailbox(messages));
    EXPECT_EQ(s.ending, RunEnding::Completed);
    EXPECT_EQ(s.filesWritten, messages.size());
    EXPECT_EQ(host.named, messages.size());
    EXPECT_EQ(contents(), expected(messages));
    ASSERT_FALSE(host.progress.empty());
    EXPECT_EQ(host.progress.back().bytesDone, host.progress.back().bytesTotal);
}

TEST_P(EveryFormat, AStreamGivesWhatTheFileGives)
{
    const std::string image = t::mailbox(messages);
    std::size_t at = 0;
    const ReadNext pipe = t::pipeOf(image, at, 4096);
    const RunSummary s = format().run({"standard input", &pipe}, outDir(), host, {});
    EXPECT_EQ(s.filesWritten, messages.size());
    EXPECT_EQ(contents(), expected(messages));
}

TEST_P(EveryFormat, CancelStopsBeforeTheNextMessageAndKeepsWhatIsComplete)
{
    host.onFile = [&](const Progress& p) { host.cancel = p.filesQueued == 2; };
    const RunSummary s = run(writeMailbox(messages));
    EXPECT_EQ(s.ending, RunEnding::Cancelled);
    EXPECT_EQ(s.filesWritten, 2u);
    EXPECT_EQ(host.named, 2u);
    EXPECT_EQ(contents(), expected({messages[0], messages[1]}));
}

TEST_P(EveryFormat, AFailingWriteKeepsOnlyWholeMessages)
{
    const std::string path = writeMailbox({t::mail("one"), large, t::mail("after")});
    RunSummary s;
    {
        const t::FileSizeLimit limit(std::size_t{2} << 20); // as a full disk stops a write
        if (!limit.active())
            GTEST_SKIP() << "no limit of file sizes here";
        try {
            s = run(path);
            ADD_FAILURE() << "a failed write must not complete the run";
        } catch (const ExtractError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Output) << e.what();
            EXPECT_EQ(e.code(), std::make_error_code(std::errc::file_too_large)) << e.what();
            // The words name the message's file where it would have been named.
            EXPECT_EQ(t::pathOf(e.path()).parent_path(), format().namedIn(outDir())) << e.what();
        }
    }
    const std::vector<std::string> whole{t::mail("one")};
    EXPECT_EQ(contents(), expected(format().keepsWholeMessagesAtAFailure ? whole : std::vector<std::string>{}));
    EXPECT_EQ(host.named, format().keepsWholeMessagesAtAFailure ? 1u : 0u) << "the count is that of what is there";
}

TEST_P(EveryFormat, AMailboxThatShrinksEndsInWordsKeepingOnlyWholeMessages)
{
    const std::string path = writeMailbox({t::mail("one"), large, t::mail("after")});
    host.onFile = [&](const Progress& p) {
        if (p.filesQueued == 1)
            fs::resize_file(t::pathOf(path), p.bytesDone + 100); // inside the large one
    };
    try {
        run(path);
        FAIL() << "a mailbox that changed must not complete";
    } catch (const ExtractError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Mailbox);
        EXPECT_NE(std::string(e.what()).find("changed while it was being read"), std::string::npos) << e.what();
    }
    const std::vector<std::string> whole{t::mail("one")};
    EXPECT_EQ(contents(), expected(format().keepsWholeMessagesAtAFailure ? whole : std::vector<std::string>{}));
}

TEST_P(EveryFormat, WhatIsNoMailboxIsRefusedAndMakesNothing)
{
    const fs::path into = outDir() / "new";
    for (const std::string_view bytes : {std::string_view("Just some text\r\nSubject: hello\r\n"), std::string_view()}) {
        t::writeFile(in / "notes.mbx", bytes);
        EXPECT_EXTRACT_ERROR(run(t::utf8(in / "notes.mbx"), {.makeOutputFolder = true}, into), ErrorKind::Mailbox,
                             t::utf8(in / "notes.mbx"), std::error_code());
        EXPECT_FALSE(fs::exists(into));
    }
    EXPECT_EXTRACT_ERROR(run(t::utf8(in / "missing.mbx"), {.makeOutputFolder = true}, into), ErrorKind::Mailbox,
                         t::utf8(in / "missing.mbx"), t::missingFileCode());
    EXPECT_FALSE(fs::exists(into));
}

TEST_P(EveryFormat, NothingThatIsThereIsEverReplaced)
{
    const std::vector<fs::path> theirs = format().occupy(outDir());
    for (const fs::path& p : theirs)
        t::writeFile(p, "someone else's");
    run(writeMailbox(messages));
    for (const fs::path& p : theirs) {
        EXPECT_EQ(t::readFile(p), "someone else's") << p;
        fs::remove(p);
    }
    EXPECT_EQ(contents(), expected(messages));
}

TEST_P(EveryFormat, ADryRunPlansEveryMessageAndMakesNothing)
{
    const fs::path into = outDir() / "not" / "yet";
    const RunSummary s = run(writeMailbox(messages), {.dryRun = true, .makeOutputFolder = true}, into);
    EXPECT_EQ(s.filesWritten, messages.size());
    EXPECT_EQ(host.progress.size(), messages.size());
    EXPECT_FALSE(fs::exists(outDir() / "not"));
    EXPECT_TRUE(fs::is_empty(outDir()));
}

TEST_P(EveryFormat, SkipExistingAddsOnlyWhatIsNewOrIsRefused)
{
    const std::string path = writeMailbox(messages);
    if (!format().canBeAddedTo) {
        EXPECT_EXTRACT_ERROR(run(path, {.skipExisting = true}), ErrorKind::Settings, "", std::error_code());
        EXPECT_TRUE(fs::is_empty(outDir()));
        return;
    }
    run(path);
    RunSummary s = run(path, {.skipExisting = true});
    EXPECT_EQ(s.filesWritten, 0u);
    EXPECT_EQ(s.skipped, messages.size());
    EXPECT_EQ(contents(), expected(messages));

    std::vector<std::string> more = messages;
    more.push_back(t::mail("one", "Another text."));
    s = run(writeMailbox(more), {.skipExisting = true});
    EXPECT_EQ(s.filesWritten, 1u);
    EXPECT_EQ(s.skipped, messages.size());
    EXPECT_EQ(contents(), expected(more));
}

TEST_P(EveryFormat, AMessageIsItsRecordsTextWhereTheHeaderIsSoundElseTheWholeBody)
{
    const std::string sound = t::mail("sound");
    const std::string shortBody = t::mail("short");
    const std::string dirty = t::mail("dirty");
    const std::string afterDirty("\0\0x\0\0", 5);
    std::string image = t::mailboxHeader();
    image += t::record(sound, 1, 3);
    image += t::recordHeader(2, 1000, 0) + shortBody; // its text would run past its record
    image += t::recordHeader(3, dirty.size(), afterDirty.size()) + dirty + afterDirty; // no padding
    t::writeFile(in / "odd.mbx", image);
    run(t::utf8(in / "odd.mbx"));
    EXPECT_EQ(contents(), format().expected({{sound, sound + std::string(3, '\0')},
                                             {shortBody, shortBody},
                                             {dirty + afterDirty, dirty + afterDirty}}));
}

TEST_P(EveryFormat, ADryRunFromAStreamSaysWhatTheRunWouldDo)
{
    std::vector<std::string> more = messages;
    more.push_back(t::mail("new"));
    const std::string image = t::mailbox(more);
    std::size_t at = 0;
    const ReadNext pipe = t::pipeOf(image, at, 4096);
    const RunOptions dryAndSkipping{.dryRun = true, .skipExisting = true};
    if (!format().canBeAddedTo) {
        EXPECT_EXTRACT_ERROR(format().run({"standard input", &pipe}, outDir(), host, dryAndSkipping),
                             ErrorKind::Settings, "", std::error_code());
        return;
    }
    run(writeMailbox(messages));
    const RunSummary s = format().run({"standard input", &pipe}, outDir(), host, dryAndSkipping);
    EXPECT_EQ(s.skipped, messages.size());
    EXPECT_EQ(s.filesWritten, 1u);
    EXPECT_EQ(contents(), expected(messages));
}

TEST_P(EveryFormat, CancelWhileAStreamIsQuietStopsThereKeepingOnlyWholeMessages)
{
    const std::string image = t::mailbox({t::mail("one"), t::mail("two"), t::mail("three", std::string(5000, 'x'))});
    const std::size_t quietAt = image.size() - 2000; // inside the third message
    std::size_t at = 0;
    int quiet = 0;
    const ReadNext pipe = [&](char* buffer, std::size_t n) -> std::optional<std::size_t> {
        if (at == quietAt) { // nothing more comes, and the user asks to stop
            host.cancel = true;
            return ++quiet > 1000 ? std::optional<std::size_t>(0) : std::nullopt; // at last its end
        }
        const std::size_t got = std::min(n, quietAt - at);
        std::memcpy(buffer, image.data() + at, got);
        at += got;
        return got;
    };
    const RunSummary s = format().run({"standard input", &pipe}, outDir(), host, {});
    EXPECT_EQ(s.ending, RunEnding::Cancelled);
    EXPECT_EQ(quiet, 1) << "it stops as soon as it is asked to";
    EXPECT_EQ(s.filesWritten, 2u);
    EXPECT_EQ(contents(), expected({t::mail("one"), t::mail("two")}));
}

// A date as the file system keeps it: none where the file system could not hold it, the
// file then dated when it was written (after `start`).
std::optional<std::int64_t> dateKept(const fs::path& file, std::chrono::system_clock::time_point start)
{
    const auto since = fs::last_write_time(file) - fs::file_time_type::clock::now();
    const auto when = std::chrono::system_clock::now() + std::chrono::duration_cast<std::chrono::system_clock::duration>(since);
    if (when >= start)
        return std::nullopt;
    return std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
}

TEST_P(EveryFormat, ADateOutsideWhatTheOutputCanHoldIsNotSetAndIsCounted)
{
    const auto dated = [](std::string_view date) {
        return "From: a@example.com\r\nDate: " + std::string(date) + "\r\nSubject: dated\r\n\r\nText.\r\n";
    };
    const std::vector<std::string> mails{dated("Mon, 1 Jan 1900 00:00:00 +0000"),
                                         dated("Fri, 31 Dec 9999 12:00:00 -1200"), // the year 10000 in UTC
                                         dated("Sun, 31 Dec 2000 23:59:59 +0000")};
    const std::vector<std::int64_t> seconds{-2208988800, 253402344000, 978307199};
    const auto start = std::chrono::system_clock::now() - std::chrono::seconds(2);
    const RunSummary s = run(writeMailbox(mails), {.dates = true});
    if (format().name == "mbox") { // a From line has a year of four digits, or the placeholder's
        const std::string mbox = t::readFile(outFile("Inbox.mbox"));
        for (const char* line : {"From a@example.com Mon Jan  1 00:00:00 1900\n", "From a@example.com Thu Jan  1 00:00:00 1970\n",
                                 "From a@example.com Sun Dec 31 23:59:59 2000\n"})
            EXPECT_NE(mbox.find(line), std::string::npos) << line;
        return;
    }
    std::uint64_t notKept = 0;
    for (const auto& e : fs::directory_iterator(format().namedIn(outDir()))) {
        const std::string bytes = t::readFile(e.path());
        const auto mail = std::find_if(mails.begin(), mails.end(), [&](const std::string& m) { return bytes.starts_with(m); });
        const auto i = static_cast<std::size_t>(mail - mails.begin());
        ASSERT_LT(i, mails.size()) << e.path();
        const std::optional<std::int64_t> kept = dateKept(e.path(), start);
        if (!kept) {
            EXPECT_NE(i, 2u) << "every file system holds the year 2000";
            ++notKept;
        } else {
            EXPECT_EQ(*kept, seconds[i]) << e.path() << ": neither its date nor the time of writing";
        }
    }
    EXPECT_EQ(s.undated, notKept);
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::Values(&kEml, &kMbox, &kMaildir),
                         [](const ::testing::TestParamInfo<const Format*>& info) { return info.param->name; });
