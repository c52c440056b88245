// carrowin-cli over whole archives: folders, the mail store, standard input, dry runs
// and runs again into the same folder.
#include "archive.h"
#include "batch.h"
#include "paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace t = carrowin::testing;
namespace fs = std::filesystem;
using t::Outcome;

namespace {

const fs::path kCli = t::programFolder() / t::pathOf(CARROWIN_CLI_PATH);

// The summary joins a folder and a name with the platform's separator.
std::string native(std::string text)
{
    std::replace(text.begin(), text.end(), '/', carrowin::text::kPathSeparator);
    return text;
}

class Archive : public ::testing::Test {
protected:
    // A store folder as backups hold it: two mailboxes, and what is not one.
    void SetUp() override
    {
        fs::create_directories(dir / "store");
        t::writeFile(dir / "store/Inbox.mbx", t::mailbox({t::mail("Lunch"), t::mail("Plans")}));
        t::writeFile(dir / "store/Sent Items.MBX", t::mailbox({t::mail("Re: Lunch")}));
        t::writeFile(dir / "store/.hidden.mbx", t::mailbox({t::mail("Hidden")}));
        t::writeFile(dir / "store/notes.txt", "not a mailbox");
        fs::create_directories(dir / "empty");
    }
    Outcome cli(const std::vector<std::string>& args, const fs::path& input = {})
    {
        return t::runProcess(kCli, args, dir.path(), input);
    }
    t::TempDir dir;
};

} // namespace

TEST(MailboxFolderName, DropsTheExtensionAndNumbersATakenName)
{
    const auto none = [](const std::string&) { return false; };
    EXPECT_EQ(carrowin::cli::mailboxFolderName("Sent Items.MBX", none), "Sent Items");
    EXPECT_EQ(carrowin::cli::mailboxFolderName("Inbox.mbx", [](const std::string& n) { return n == "Inbox"; }),
              "Inbox(1)");
    EXPECT_EQ(carrowin::cli::mailboxFolderName("Aux.mbx", none), "Aux(1)"); // a device name on Windows
    // Folder names are cleaned: no control, no character Windows refuses, no turning of
    // the text's direction, no byte that is not UTF-8.
    const struct {
        const char* file;
        const char* folder;
    } cleaned[] = {
        {"In\nbox.mbx", "In box"},   {"Tab\t\tbox.mbx", "Tab box"}, {"Gr\xFC\xDF" "e.mbx", "Gr\u00FC\u00DF" "e"},
        {"a\u202Eb.mbx", "a b"},      {"x:y?.mbx", "x y"},           {"\n\r.mbx", "Mailbox"},
    };
    for (const auto& c : cleaned)
        EXPECT_EQ(carrowin::cli::mailboxFolderName(c.file, none), c.folder) << c.file;
    EXPECT_EQ(carrowin::cli::withThousands(12345), "12,345");
    EXPECT_EQ(carrowin::cli::withThousands(999), "999");
}

TEST_F(Archive, AFolderSplitsEachMailboxIntoAFolderOfItsOwn)
{
    fs::create_directories(dir / "out");
    t::writeFile(dir / "out/Inbox", "a file of that name is never merged into");
    const Outcome r = cli({"-o", "out", "store", "empty"});
    EXPECT_EQ(r.status, 1) << "a folder without mailboxes is a failure";
    EXPECT_NE(r.err.find("\"empty\" holds no mailbox"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, native("store/Inbox.mbx: 2 messages written to out/Inbox(1)\n"
                            "store/Sent Items.MBX: 1 message written to out/Sent Items\n"
                            "2 mailboxes, 3 messages written to out\n"));
    EXPECT_TRUE(fs::exists(dir / "out/Inbox(1)/Plans.eml"));
    EXPECT_TRUE(fs::exists(dir / "out/Sent Items/Lunch.eml"));
    EXPECT_EQ(t::readFile(dir / "out/Inbox"), "a file of that name is never merged into");
}

TEST_F(Archive, TheStoreIsTheFolderTheWindowProposes)
{
    t::useStoreRoot(dir.path(), t::utf8(dir / "store-root"));
    fs::create_directories(dir / "store-root/mail");
    fs::copy_file(dir / "store/Inbox.mbx", dir / "store-root/mail/Inbox.mbx");
    Outcome r = cli({"-o", "out", "--store"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "out/Inbox/Lunch.eml")) << r.out;

    // A store whose mail folder is gone says so.
    t::useStoreRoot(dir.path(), t::utf8(dir / "gone-root"));
    r = cli({"-o", "none", "--store"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;

    t::useNoStore(dir.path());
    r = cli({"-o", "none", "--store"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Registry read error 2"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "none"));
}

TEST_F(Archive, DryRunListsTheNamesAndMakesNothing)
{
    const Outcome r = cli({"--dry-run", "-o", "out", "store"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string first = t::padded(t::mail("Lunch"));
    EXPECT_EQ(r.out, "1\t84\t" + std::to_string(first.size()) + "\tInbox/Lunch.eml\n"
                     "2\t" + std::to_string(84 + 16 + first.size()) + "\t" + std::to_string(t::padded(t::mail("Plans")).size())
                     + "\tInbox/Plans.eml\n"
                     "1\t84\t" + std::to_string(t::padded(t::mail("Re: Lunch")).size()) + "\tSent Items/Lunch.eml\n");
    EXPECT_NE(r.err.find("2 mailboxes, 3 messages would be written to out"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(Archive, DryRunFailsAsARunWould)
{
    for (const char* mailbox : {"missing.mbx", "store/notes.txt"}) {
        const Outcome dry = cli({"--dry-run", "-o", "out", mailbox});
        const Outcome real = cli({"-o", "out", mailbox});
        EXPECT_EQ(dry.status, 1) << mailbox;
        EXPECT_EQ(dry.status, real.status) << mailbox;
        EXPECT_EQ(dry.err, real.err) << mailbox;
    }
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(Archive, RunAgainWithSkipExistingWritesNothingNew)
{
    ASSERT_EQ(cli({"-o", "out", "store"}).status, 0);
    // A second backup copy with one message more goes into the same folders.
    fs::create_directories(dir / "backup2");
    t::writeFile(dir / "backup2/Inbox.mbx", t::mailbox({t::mail("Lunch"), t::mail("Plans"), t::mail("Later")}));
    const Outcome r = cli({"--skip-existing", "-o", "out", "store", "backup2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, native("store/Inbox.mbx: 0 messages written to out/Inbox; 2 already there\n"
                            "store/Sent Items.MBX: 0 messages written to out/Sent Items; 1 already there\n"
                            "backup2/Inbox.mbx: 1 message written to out/Inbox; 2 already there\n"
                            "3 mailboxes, 1 message written to out; 5 already there\n"));
    EXPECT_EQ(t::entriesOf(dir / "out/Inbox"), (std::vector<std::string>{"Later.eml", "Lunch.eml", "Plans.eml"}));
}

TEST_F(Archive, AFolderMadeByAnotherRunMeanwhileIsNumberedOnNotMergedInto)
{
    carrowin::cli::Options o;
    o.output = t::utf8(dir / "out");
    carrowin::cli::Batch batch(o);
    std::error_code ec;
    ASSERT_TRUE(batch.addFolder(t::utf8(dir / "store"), ec));
    std::vector<carrowin::cli::Job> jobs = batch.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].shownAs, "Inbox/");
    // Between the plan and the run, another carrowin-cli into "out" makes "Inbox", and
    // something else puts a file where "Sent Items" was to go.
    fs::create_directories(dir / "out/Inbox");
    t::writeFile(dir / "out/Sent Items", "theirs");
    for (carrowin::cli::Job& job : jobs)
        batch.claimFolder(job);
    EXPECT_EQ(jobs[0].shownAs, "Inbox(1)/");
    EXPECT_EQ(jobs[0].to.folder, t::utf8(dir / "out" / "Inbox(1)"));
    EXPECT_EQ(jobs[1].shownAs, "Sent Items(1)/");
    EXPECT_EQ(t::entriesOf(dir / "out"), (std::vector<std::string>{"Inbox", "Inbox(1)", "Sent Items", "Sent Items(1)"}));
    EXPECT_EQ(t::readFile(dir / "out/Sent Items"), "theirs");
}

TEST_F(Archive, AMailboxOnStandardInput)
{
    Outcome r = cli({"-o", "out", "-"}, dir / "store/Inbox.mbx");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "standard input: 2 messages written to out\n");
    EXPECT_EQ(t::readFile(dir / "out/Plans.eml"), t::padded(t::mail("Plans")));
    r = cli({"-o", "out", "-"}, dir / "store/notes.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"standard input\" is not an OE4 mailbox"), std::string::npos) << r.err;
}
