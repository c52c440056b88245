// What only Windows has: file attributes, names that ignore case, "/" beside "\", and
// a name limit counted in UTF-16 units.
#include "errors.h"
#include "path_rules.h"
#include "run_fixture.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace carrowin::extract;
namespace t = carrowin::testing;
using t::ExtractionRun;

namespace {

// The path in its "\\?\" form, which the system takes at any length.
std::filesystem::path unlimited(const std::filesystem::path& path)
{
    return L"\\\\?\\" + std::filesystem::absolute(path).wstring();
}

void setAttributes(const std::filesystem::path& path, DWORD attributes)
{
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << GetLastError();
}

} // namespace

TEST_F(ExtractionRun, HiddenSystemAndReadOnlyFilesAreNeverOverwritten)
{
    for (const char* name : {"Lunch.eml", "Lunch(1).eml", "Lunch(2).eml"})
        t::writeFile(outFile(name), name);
    setAttributes(outFile("Lunch.eml"), FILE_ATTRIBUTE_HIDDEN);
    setAttributes(outFile("Lunch(1).eml"), FILE_ATTRIBUTE_SYSTEM);
    setAttributes(outFile("Lunch(2).eml"), FILE_ATTRIBUTE_READONLY);
    runExtraction(writeMailbox({t::mail("Lunch")}), host);
    for (const char* name : {"Lunch.eml", "Lunch(1).eml", "Lunch(2).eml"})
        EXPECT_EQ(t::readFile(outFile(name)), name);
    EXPECT_EQ(t::readFile(outFile("Lunch(3).eml")), t::padded(t::mail("Lunch")));
    setAttributes(outFile("Lunch(2).eml"), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ExtractionRun, NamesThatDifferOnlyInCaseAreNumbered)
{
    const std::vector<std::string> mails{t::mail("Lunch"), t::mail("lunch"), t::mail("LUNCH"), t::mail("lunch")};
    runExtraction(writeMailbox(mails), host);
    EXPECT_EQ(host.names, (std::vector<std::string>{"Lunch", "lunch(1)", "LUNCH(2)", "lunch(3)"}));
    for (std::size_t i = 0; i < mails.size(); ++i)
        EXPECT_EQ(t::readFile(outFile(host.names[i] + ".eml")), t::padded(mails[i])) << host.names[i];
    EXPECT_EQ(fileNameKey("Gr\u00FC\u00DFe"), fileNameKey("GR\u00DC\u00DFE"));
}

TEST_F(ExtractionRun, ForwardSlashesSeparateLikeBackslashes)
{
    std::string slashed = t::utf8(outDir());
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    host.settings.outputFolder = slashed + "/";
    runExtraction(writeMailbox({t::mail("Slash")}), host);
    EXPECT_EQ(host.settings.outputFolder, slashed + "/");
    EXPECT_EQ(outNames(), std::vector<std::string>{"Slash.eml"});
}

TEST_F(ExtractionRun, NameLimitCountsUtf16UnitsNotBytes)
{
    // 100 euro signs and 100 ellipses are 300 bytes of UTF-8 each, but 100 UTF-16 units.
    const std::string euros(120, '\x80');
    const std::string ellipses(120, '\x85');
    runExtraction(writeMailbox({t::mail(euros), t::mail(ellipses)}), host);
    ASSERT_EQ(host.names.size(), 2u);
    EXPECT_EQ(carrowin::text::countCharacters(host.names[0]), 100u);
    EXPECT_EQ(carrowin::text::countCharacters(host.names[1]), 100u);
    EXPECT_EQ(t::readFile(outFile(host.names[0] + ".eml")), t::padded(t::mail(euros)));
}

TEST_F(ExtractionRun, LongPathsAreWritten)
{
    // A folder path of about 250 characters and a 100-character subject: more than MAX_PATH.
    std::filesystem::path deep = outDir();
    for (int i = 0; i < 4; ++i) {
        deep /= std::string(50, static_cast<char>('a' + i));
        ASSERT_TRUE(CreateDirectoryW(unlimited(deep).c_str(), nullptr)) << GetLastError();
    }
    host.settings.outputFolder = t::utf8(deep);
    const std::string subject(100, 's');
    runExtraction(writeMailbox({t::mail(subject), t::mail(subject)}), host);
    const std::filesystem::path written = deep / (subject + "(1).eml");
    EXPECT_GT(std::filesystem::absolute(written).wstring().size(), std::size_t{MAX_PATH});
    EXPECT_EQ(t::readFile(unlimited(written)), t::padded(t::mail(subject)));
}

TEST(WindowsNames, PrefixWithACharacterWindowsRefusesIsRefusedNamingIt)
{
    for (const std::string c : {"<", ">", ":", "\"", "|", "?", "*"}) {
        const std::string why = settingsRefusal({false, false, "a" + c + "b", "C:\\out"});
        EXPECT_NE(why.find("\"" + c + "\""), std::string::npos) << why;
    }
    EXPECT_NE(settingsRefusal({false, false, "a\tb", "C:\\out"}).find("U+0009"), std::string::npos);
    EXPECT_EQ(settingsRefusal({false, false, "Mail (2024) \u00E9t\u00E9", "C:\\out"}), "");
}
