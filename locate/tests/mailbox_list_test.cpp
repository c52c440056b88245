#include "mailbox_list.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace carrowin::locate;
namespace t = carrowin::testing;
namespace fs = std::filesystem;

TEST(MailboxList, ListsMailboxFilesSortedIgnoringCase)
{
    t::TempDir dir;
    for (const char* n : {"Sent.mbx", "inbox.mbx", "Archive.mbx", "OUTBOX.MBX", "notes.txt", "x.mbx.bak"})
        t::writeFile(dir / n, "");
    t::createHiddenFile(dir.path(), "Hidden.mbx");
    fs::create_directory(dir / "Old.mbx");
    const auto names = listMailboxes(t::utf8(dir.path()));
    EXPECT_EQ(names, (std::vector<std::string>{"Archive.mbx", "inbox.mbx", "OUTBOX.MBX", "Sent.mbx"}));
    EXPECT_TRUE(isInboxName(names[1]));
    EXPECT_EQ(listMailboxes(t::utf8(dir.path()) + "/"), names);
}

TEST(MailboxList, NothingToListFailsQuietly)
{
    t::TempDir dir;
    EXPECT_TRUE(listMailboxes("").empty());
    EXPECT_TRUE(listMailboxes(t::utf8(dir / "missing")).empty());
    t::writeFile(dir / "file.mbx", "");
    EXPECT_TRUE(listMailboxes(t::utf8(dir / "file.mbx")).empty());
    EXPECT_FALSE(isInboxName("Notes.mbx"));
    EXPECT_FALSE(isInboxName("Inbox.mbx.bak"));
}

TEST(MailboxList, EntryTestAnswersForFilesAndFolders)
{
    t::TempDir dir;
    t::writeFile(dir / "file", "");
    EXPECT_TRUE(entryExists(t::utf8(dir.path())));
    EXPECT_TRUE(entryExists(t::utf8(dir.path()) + "/"));
    EXPECT_TRUE(entryExists(t::utf8(dir / "file")));
    EXPECT_FALSE(entryExists(t::utf8(dir / "nothing")));
    EXPECT_FALSE(entryExists(""));
    EXPECT_TRUE(entryExists("/"));
}
