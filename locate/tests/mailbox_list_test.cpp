#include "mailbox_builder.h"
#include "mailbox_list.h"

#include <gtest/gtest.h>

using namespace carrowin::locate;
namespace t = carrowin::testing;
namespace fs = std::filesystem;

TEST(MailboxList, ListsMailboxFilesSortedIgnoringCase)
{
    t::TempDir dir;
    for (const char* n : {"Sent.mbx", "inbox.mbx", "Archive.mbx", "OUTBOX.MBX", "notes.txt", "x.mbx.bak", ".Hidden.mbx"})
        t::writeFile(dir / n, "");
    fs::create_directory(dir / "Old.mbx");
    const auto names = listMailboxes(dir.path().string());
    EXPECT_EQ(names, (std::vector<std::string>{"Archive.mbx", "inbox.mbx", "OUTBOX.MBX", "Sent.mbx"}));
    EXPECT_EQ(inboxIndex(names), 1u);
    EXPECT_EQ(listMailboxes(dir.path().string() + "/"), names);
}

TEST(MailboxList, NothingToListFailsQuietly)
{
    t::TempDir dir;
    EXPECT_TRUE(listMailboxes("").empty());
    EXPECT_TRUE(listMailboxes((dir / "missing").string()).empty());
    t::writeFile(dir / "file.mbx", "");
    EXPECT_TRUE(listMailboxes((dir / "file.mbx").string()).empty());
    EXPECT_FALSE(inboxIndex({"Notes.mbx"}));
}

TEST(MailboxList, EntryTestAnswersForFilesAndFolders)
{
    t::TempDir dir;
    t::writeFile(dir / "file", "");
    EXPECT_TRUE(entryExists(dir.path().string()));
    EXPECT_TRUE(entryExists(dir.path().string() + "/"));
    EXPECT_TRUE(entryExists((dir / "file").string()));
    EXPECT_FALSE(entryExists((dir / "nothing").string()));
    EXPECT_FALSE(entryExists(""));
    EXPECT_TRUE(entryExists("/"));
}

TEST(MailboxList, CaseInsensitiveOrderIsTotal)
{
    EXPECT_TRUE(lessIgnoringCase("apple", "Banana"));
    EXPECT_FALSE(lessIgnoringCase("Banana", "apple"));
    EXPECT_TRUE(lessIgnoringCase("INBOX", "inbox") != lessIgnoringCase("inbox", "INBOX"));
}
