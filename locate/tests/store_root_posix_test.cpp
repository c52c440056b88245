// The store root read from a Wine prefix's user registry, where POSIX systems keep it.
#include "store_root.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace carrowin::locate;
namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "[Software\\\\Microsoft\\\\Outlook Express] 1700000000\n#time=1d9a\n";

class WinePrefix : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(prefix / "drive_c");
        fs::create_directories(prefix / "dosdevices");
        fs::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
    }
    void writeRegistry(const std::string& body)
    {
        t::writeFile(prefix / "user.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21\n\n#arch=win32\n\n"
                                              "[Software\\\\Wine] 1700000000\n\"Version\"=\"win98\"\n\n" + body);
    }
    std::string drive() const { return fs::canonical(prefix / "drive_c").string(); }

    t::TempDir dir;
    fs::path prefix = dir / "wine";
};

} // namespace

TEST_F(WinePrefix, DrivePathBecomesTheMailFolderThroughTheDriveLink)
{
    writeRegistry(std::string(kKey) + "\"Store Root\"=\"C:\\\\Windows\\\\Application Data\\\\OE\"\n");
    const StoreRootLookup r = findStoreRoot(prefix.string());
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_EQ(r.proposedFolder, drive() + "/Windows/Application Data/OE/mail/");
}

TEST_F(WinePrefix, TrailingBackslashGivesTwoSeparators)
{
    writeRegistry(std::string(kKey) + "\"Store Root\"=\"C:\\\\OE\\\\\"\n");
    EXPECT_EQ(findStoreRoot(prefix.string()).proposedFolder, drive() + "/OE//mail/");
}

TEST_F(WinePrefix, EscapesAndNonAsciiAreUndone)
{
    // Wine writes C:\Jörg\€ as C:\\J\xf6rg\\\x20ac
    writeRegistry(std::string(kKey) + "\"Store Root\"=\"C:\\\\J\\xf6rg\\\\\\x20ac\"\n");
    EXPECT_EQ(findStoreRoot(prefix.string()).proposedFolder, drive() + "/J\u00F6rg/\u20AC/mail/");
}

TEST_F(WinePrefix, ValueIsTakenWholeAndUnexpanded)
{
    const std::string longRoot(300, 'r');
    writeRegistry(std::string(kKey) + "\"store root\"=\"" + longRoot + "\"\n");
    EXPECT_EQ(findStoreRoot(prefix.string()).proposedFolder, longRoot + "/mail/");
    writeRegistry(std::string(kKey) + "\"Store Root\"=str(2):\"%UserProfile%\\\\OE\"\n");
    EXPECT_EQ(findStoreRoot(prefix.string()).proposedFolder, "%UserProfile%\\OE/mail/");
}

TEST_F(WinePrefix, MissingOrEmptyValueGivesRootMailFolder)
{
    writeRegistry(std::string(kKey) + "\"Other\"=\"x\"\n");
    EXPECT_EQ(findStoreRoot(prefix.string()).errorCode, 0);
    EXPECT_EQ(findStoreRoot(prefix.string()).proposedFolder, "/mail/");
    writeRegistry(std::string(kKey) + "\"Store Root\"=\"\"\n");
    EXPECT_EQ(findStoreRoot(prefix.string()).proposedFolder, "/mail/");
    // A value of the same name under another key does not count.
    writeRegistry("[Software\\\\Other] 1\n\"Store Root\"=\"C:\\\\x\"\n" + std::string(kKey));
    EXPECT_EQ(findStoreRoot(prefix.string()).proposedFolder, "/mail/");
}

TEST_F(WinePrefix, MissingKeyOrFileIsErrorTwo)
{
    writeRegistry("[Software\\\\Microsoft\\\\Outlook Express\\\\5.0] 1\n\"Store Root\"=\"C:\\\\x\"\n");
    EXPECT_EQ(findStoreRoot(prefix.string()).errorCode, 2);
    EXPECT_EQ(findStoreRoot((dir / "no-prefix").string()).errorCode, 2);
}

TEST_F(WinePrefix, UnreadableFileIsErrorFive)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: file permissions do not stop root, so this case cannot be made here";
    writeRegistry(std::string(kKey) + "\"Store Root\"=\"C:\\\\OE\"\n");
    fs::permissions(prefix / "user.reg", fs::perms::none);
    EXPECT_EQ(findStoreRoot(prefix.string()).errorCode, 5);
}

TEST(WinePrefixChoice, EnvironmentOrHome)
{
    EXPECT_EQ(winePrefixFor("/opt/wine", "/home/u"), "/opt/wine");
    EXPECT_EQ(winePrefixFor("", "/home/u"), "/home/u/.wine");
    EXPECT_EQ(winePrefixFor(nullptr, "/home/u"), "/home/u/.wine");
}

TEST_F(WinePrefix, OnlyARegularFileOfASaneSizeIsRead)
{
    // A folder, a FIFO (which must not block), a device that never ends, a huge file:
    // each is an unreadable registry, code 5, at once.
    fs::create_directory(prefix / "user.reg");
    EXPECT_EQ(findStoreRoot(prefix.string()).errorCode, 5);
    fs::remove(prefix / "user.reg");
    ASSERT_EQ(::mkfifo((prefix / "user.reg").c_str(), 0600), 0);
    EXPECT_EQ(findStoreRoot(prefix.string()).errorCode, 5);
    fs::remove(prefix / "user.reg");
    fs::create_symlink("/dev/zero", prefix / "user.reg");
    EXPECT_EQ(findStoreRoot(prefix.string()).errorCode, 5);
    fs::remove(prefix / "user.reg");
    t::writeSparseFile(prefix / "user.reg", (std::uint64_t{64} << 20) + 1, {{0, std::string(kKey)}});
    EXPECT_EQ(findStoreRoot(prefix.string()).errorCode, 5);
    // Millions of lines are read, and the value after them found.
    writeRegistry(std::string(8 << 20, '\n') + kKey + "\"Store Root\"=\"C:\\\\OE\"\n");
    EXPECT_EQ(findStoreRoot(prefix.string()).proposedFolder, drive() + "/OE/mail/");
}
