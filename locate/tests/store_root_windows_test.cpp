// The store root read from the current user's registry. The keys are written with the
// system's own reg.exe, not with the code under test.
#include "store_root.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace carrowin::locate;
namespace t = carrowin::testing;

namespace {

const std::string kKey = "HKCU\\Software\\Microsoft\\Outlook Express";

void reg(const std::vector<std::string>& args)
{
    const t::Outcome r = t::runProcess("reg.exe", args, std::filesystem::current_path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { removeKey(); }
    void TearDown() override { removeKey(); }

    static void removeKey() { t::runProcess("reg.exe", {"delete", kKey, "/f"}, std::filesystem::current_path()); }
    static void setValue(const std::string& type, const std::string& data)
    {
        reg({"add", kKey, "/v", "Store Root", "/t", type, "/d", data, "/f"});
    }
};

} // namespace

TEST_F(Registry, ValueGivesItsMailFolder)
{
    setValue("REG_SZ", "C:\\OE");
    const StoreRootLookup r = findStoreRoot({});
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_EQ(r.proposedFolder, "C:\\OE\\mail\\");
}

TEST_F(Registry, TrailingBackslashIsKeptAndLongValuesAreReadWhole)
{
    setValue("REG_SZ", "C:\\OE\\");
    EXPECT_EQ(findStoreRoot({}).proposedFolder, "C:\\OE\\\\mail\\");
    const std::string longRoot = "C:\\" + std::string(297, 'r');
    setValue("REG_SZ", longRoot);
    EXPECT_EQ(findStoreRoot({}).proposedFolder, longRoot + "\\mail\\");
}

TEST_F(Registry, NonAsciiSurvives)
{
    setValue("REG_SZ", "C:\\\u0141\u00F3d\u017A\\\u65E5\u672C");
    EXPECT_EQ(findStoreRoot({}).proposedFolder, "C:\\\u0141\u00F3d\u017A\\\u65E5\u672C\\mail\\");
}

TEST_F(Registry, ExpandableValueIsExpanded)
{
    SetEnvironmentVariableW(L"CARROWIN_TEST_ROOT", L"D:\\Expanded");
    setValue("REG_EXPAND_SZ", "%CARROWIN_TEST_ROOT%\\OE");
    EXPECT_EQ(findStoreRoot({}).proposedFolder, "D:\\Expanded\\OE\\mail\\");
}

TEST_F(Registry, MissingEmptyOrNonTextValueGivesRootMailFolder)
{
    reg({"add", kKey, "/v", "Other", "/t", "REG_SZ", "/d", "x", "/f"});
    EXPECT_EQ(findStoreRoot({}).errorCode, 0);
    EXPECT_EQ(findStoreRoot({}).proposedFolder, "\\mail\\");
    setValue("REG_SZ", "");
    EXPECT_EQ(findStoreRoot({}).proposedFolder, "\\mail\\");
    setValue("REG_DWORD", "42");
    EXPECT_EQ(findStoreRoot({}).proposedFolder, "\\mail\\");
}

TEST_F(Registry, DataWithoutItsNulAreTakenWhole)
{
    // reg.exe always stores the NUL, so this one value is written through the API.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Outlook Express", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t data[] = L"C:\\NoNul";
    RegSetValueExW(key, L"Store Root", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data - sizeof(wchar_t));
    RegCloseKey(key);
    EXPECT_EQ(findStoreRoot({}).proposedFolder, "C:\\NoNul\\mail\\");
}

TEST_F(Registry, MissingKeyIsErrorTwo)
{
    const StoreRootLookup r = findStoreRoot({});
    EXPECT_EQ(r.errorCode, 2);
    EXPECT_EQ(r.proposedFolder, "");
}
