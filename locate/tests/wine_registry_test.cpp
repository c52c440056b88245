// The reader of Wine's registry files: plain text in, one value out, on every platform.
#include "wine_registry.h"

#include <gtest/gtest.h>

using namespace carrowin::locate;

namespace {

constexpr std::string_view kKey = "Software\\Microsoft\\Outlook Express";

std::string registryFile(const std::string& values)
{
    return "WINE REGISTRY Version 2\n\n[Software\\\\Wine] 1700000000\n\"Store Root\"=\"elsewhere\"\n\n"
           "[Software\\\\Microsoft\\\\Outlook Express] 1700000000\n#time=1d9a\n"
           + values + "\n[Software\\\\Microsoft\\\\Outlook Express\\\\5.0] 1\n\"Store Root\"=\"deeper\"\n";
}

std::string storeRoot(const std::string& values)
{
    const RegistryValue v = readRegistryValue(registryFile(values), kKey, "Store Root");
    EXPECT_TRUE(v.keyFound);
    return v.valueFound ? v.text : "<missing>";
}

} // namespace

TEST(WineRegistry, StringEscapesAreUndone)
{
    EXPECT_EQ(unescapeRegistryString("a\\\"b\\\\c\\nd\\x41\\x0041x\\101"), "a\"b\\c\nd" "AAx" "A");
    EXPECT_EQ(unescapeRegistryString("\\xd83d\\xde00"), "\U0001F600");
    // Wine writes C:\Jörg\€ as C:\\J\xf6rg\\\x20ac
    EXPECT_EQ(storeRoot("\"Store Root\"=\"C:\\\\J\\xf6rg\\\\\\x20ac\""), "C:\\J\u00F6rg\\\u20AC");
}

TEST(WineRegistry, ValueForms)
{
    // Any length; str(2) unexpanded; hex(2) is UTF-16 with its NUL; other hex is bytes.
    EXPECT_EQ(storeRoot("\"store root\"=\"" + std::string(300, 'r') + "\""), std::string(300, 'r'));
    EXPECT_EQ(storeRoot("\"Store Root\"=str(2):\"%UserProfile%\\\\OE\""), "%UserProfile%\\OE");
    EXPECT_EQ(storeRoot("\"Store Root\"=hex(2):2f,00,6f,00,\\\n  65,00,00,00"), "/oe");
    EXPECT_EQ(storeRoot("\"Store Root\"=hex:2f,6d,62"), "/mb");
    EXPECT_EQ(storeRoot("\"Store Root\"=\"\""), "");
    EXPECT_EQ(storeRoot("\"Other\"=\"x\""), "<missing>");
}

TEST(WineRegistry, OnlyTheExactKeyCounts)
{
    EXPECT_FALSE(readRegistryValue(registryFile(""), "Software\\Microsoft", "Store Root").keyFound);
    EXPECT_TRUE(readRegistryValue(registryFile(""), "SOFTWARE\\microsoft\\outlook express", "Store Root").keyFound);
    EXPECT_EQ(readRegistryValue(registryFile(""), "Software\\Microsoft\\Outlook Express\\5.0", "Store Root").text,
              "deeper");
}
