#include "output_naming.h"
#include "utf16.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

using namespace carrowin::extract;

namespace {

std::string body(std::string_view subject) { return "From: a\r\nSubject: " + std::string(subject) + "\r\n\r\ntext\r\n"; }

std::string subjectName(std::string_view rawBody, bool removeRe = true)
{
    return finishBaseName(subjectText(rawBody, removeRe));
}

// The whole naming of one record, as the run names it.
ChosenName nameRecord(std::string_view body, const NamingSettings& settings, const TakenTest& taken,
                      NumberingMemo& memo, const FileNameLimit& limit)
{
    return chooseFreeName(baseNameFor(body, settings), extensionFor(body), taken, memo, limit);
}

// A folder in memory: the names it holds, and how many existence tests were made.
struct FakeFolder {
    std::set<std::string> names;
    int tests = 0;
    NumberingMemo memo;

    TakenTest test()
    {
        return [this](const std::string& n) {
            ++tests;
            return isReservedDeviceName(n) || names.contains(n);
        };
    }
    FileNameLimit limit{255, NameUnit::Utf8Bytes};

    std::string write(std::string_view recordBody, NamingSettings& s)
    {
        const ChosenName c = nameRecord(recordBody, s, test(), memo, limit);
        s.workingName = c.baseName;
        names.insert(c.fileName);
        return c.fileName;
    }
};

NamingSettings prefixMode(std::string prefix) { return {false, false, std::move(prefix), "/out/"}; }

} // namespace

struct WorkedExample {
    std::string subject;
    bool removeRe;
    std::string fileName;
};

void PrintTo(const WorkedExample& ex, std::ostream* os)
{
    *os << '"' << ex.subject << (ex.removeRe ? "\" removing Re:" : "\" keeping Re:");
}

class NamingWorkedExamples : public ::testing::TestWithParam<WorkedExample> {};

TEST_P(NamingWorkedExamples, SubjectBecomesFileName)
{
    const auto& ex = GetParam();
    FakeFolder folder;
    NamingSettings s{true, ex.removeRe, "File", "/out/"};
    EXPECT_EQ(folder.write(body(ex.subject), s), ex.fileName);
}

// Test names from the subject's letters and digits: readable, and the same in every build.
std::string exampleName(const ::testing::TestParamInfo<WorkedExample>& info)
{
    std::string name = std::to_string(info.index) + "_";
    for (char c : info.param.subject.substr(0, 24))
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
    return name + (info.param.removeRe ? "_RemoveRe" : "_KeepRe");
}

INSTANTIATE_TEST_SUITE_P(
    Table, NamingWorkedExamples,
    ::testing::Values(WorkedExample{"Re: Hello, world!", true, "Hello world.eml"},
                      WorkedExample{"Re: Hello, world!", false, "Re Hello world.eml"},
                      WorkedExample{"Re: Re: Hello", true, "Re Hello.eml"},
                      WorkedExample{"RE:Meeting (Tuesday) 10:30", true, "Meeting Tuesday 10 30.eml"},
                      WorkedExample{"  re: notes_2024.1 [final]", true, "notes 2024 1 final.eml"},
                      WorkedExample{"Tab\there", true, "Tab here.eml"},
                      WorkedExample{"Tab\there", false, "Tab here.eml"},
                      WorkedExample{"", true, "NoSubject.eml"},
                      WorkedExample{"???", false, "NoSubject.eml"},
                      WorkedExample{std::string(99, 'a') + " " + std::string(20, 'b'), true, std::string(99, 'a') + ".eml"},
                      WorkedExample{std::string(120, 'x'), false, std::string(100, 'x') + ".eml"},
                      WorkedExample{std::string(100, 'y'), false, std::string(100, 'y') + ".eml"},
                      WorkedExample{"Re:", true, "NoSubject.eml"},
                      WorkedExample{"Re", true, "Re.eml"},
                      WorkedExample{"Reply: x", true, "Reply x.eml"},
                      WorkedExample{"Re: Hello", false, "Re Hello.eml"}),
    exampleName);

TEST(Naming, ExtensionDependsOnNewsgroupsNearTheStart)
{
    const auto at = [](std::size_t pos1) { return std::string(pos1 - 1, 'x') + "Newsgroups: alt.test\r\n"; };
    EXPECT_EQ(extensionFor(at(1)), ".nws");
    EXPECT_EQ(extensionFor(at(2047)), ".nws");
    EXPECT_EQ(extensionFor(at(2048)), ".eml");
    EXPECT_EQ(extensionFor("Newsgroups:alt.test"), ".eml");
    EXPECT_EQ(extensionFor(""), ".eml");
    FakeFolder folder;
    NamingSettings s = prefixMode("News");
    EXPECT_EQ(folder.write(at(10), s), "News.nws");
}

TEST(Naming, SubjectLineIsFoundExactlyAndAnywhere)
{
    EXPECT_EQ(subjectName("From: a\r\n\r\nno subject here"), "NoSubject");
    EXPECT_EQ(subjectName("SUBJECT: x\r\nsubject: y\r\n"), "NoSubject");
    EXPECT_EQ(subjectName("X-List-Subject: Foo\r\nSubject: Bar\r\n"), "Foo");
    // A carriage return further down wins over the nearer line feeds.
    EXPECT_EQ(subjectName("From: a\nSubject: Hello\nTo: b\n\nText\r\nmore"), "Hello To b Text");
    EXPECT_EQ(subjectName("From: a\nSubject: Only LF\nTo: b\n"), "Only LF");
    EXPECT_EQ(subjectName("From: a\r\nSubject:    Last line  "), "Last line");
}

TEST(Naming, FilterKeepsBracesTildeAndUpperHalfAsUnicode)
{
    // ü and ß at their Windows-1252 codes 252 and 223; the file name is UTF-8.
    EXPECT_EQ(subjectName(body("Gr\xFC\xDF" "e {x} ~y~ a|b")), "Gr\u00FC\u00DFe {x} ~y~ a b");
    EXPECT_EQ(subjectName(body("\x80 price \x9D")), "\u20AC price \u009D");
    EXPECT_EQ(subjectName(body(std::string("a\0b/c\\d:e*f?g\"h<i>j", 19))), "a b c d e f g h i j");
}

TEST(Naming, CapCountsCharactersNotBytes)
{
    const std::string umlauts(120, '\xFC');
    const std::string name = subjectName(body(umlauts));
    EXPECT_EQ(carrowin::text::countCharacters(name), 100u);
    EXPECT_EQ(name.size(), 200u);
    EXPECT_TRUE(carrowin::text::isValidUtf8(name));
}

TEST(Naming, PrefixIsUsedAsTypedApartFromSpaces)
{
    EXPECT_EQ(finishBaseName("My.Mail_1"), "My.Mail_1");
    EXPECT_EQ(finishBaseName("  My   Mail  "), "My Mail");
    EXPECT_EQ(finishBaseName(""), "NoSubject");
    EXPECT_EQ(finishBaseName("   "), "NoSubject");
    EXPECT_EQ(finishBaseName("Jörg €"), "Jörg €");
}

TEST(Naming, SameSubjectIsNumberedFromTheBareName)
{
    FakeFolder folder;
    NamingSettings s{true, true, "File", "/out/"};
    EXPECT_EQ(folder.write(body("Lunch"), s), "Lunch.eml");
    EXPECT_EQ(folder.write(body("Lunch"), s), "Lunch(1).eml");
    EXPECT_EQ(folder.write(body("Lunch"), s), "Lunch(2).eml");
    EXPECT_EQ(s.workingName, "Lunch(2)");
}

TEST(Naming, NumberingStepsOverExistingFiles)
{
    FakeFolder folder;
    folder.names = {"Lunch.eml"};
    for (int i = 1; i <= 9; ++i)
        folder.names.insert("Lunch(" + std::to_string(i) + ").eml");
    NamingSettings s{true, true, "", "/out/"};
    EXPECT_EQ(folder.write(body("Lunch"), s), "Lunch(10).eml");
}

TEST(Naming, PrefixModeCountsOnFromTheLastName)
{
    FakeFolder folder;
    NamingSettings s = prefixMode("File");
    for (const char* expected : {"File.eml", "File(1).eml", "File(2).eml", "File(3).eml"})
        EXPECT_EQ(folder.write(body("ignored"), s), expected);
    EXPECT_EQ(s.workingName, "File(3)");

    // A second run into the same folder starts from File again and steps over all four.
    FakeFolder& again = folder;
    NamingSettings s2 = prefixMode("File");
    again.memo = NumberingMemo{};
    EXPECT_EQ(again.write(body("x"), s2), "File(4).eml");
}

TEST(Naming, PrefixWithNumberCountsOnFromIt)
{
    FakeFolder folder;
    folder.names = {"Mail(7).eml"};
    NamingSettings s = prefixMode("Mail(7)");
    EXPECT_EQ(folder.write(body("x"), s), "Mail(8).eml");
    folder.names = {"Mail(007).eml"};
    s = prefixMode("Mail(007)");
    EXPECT_EQ(folder.write(body("x"), s), "Mail(8).eml");
}

TEST(Naming, PrefixWithoutANumberedGroupGetsOneAppended)
{
    for (const std::string prefix : {"My(file", "(a)b", "x)y", "a()b"}) {
        FakeFolder folder;
        folder.names = {prefix + ".eml", prefix + "(1).eml"};
        NamingSettings s = prefixMode(prefix);
        EXPECT_EQ(folder.write(body("x"), s), prefix + "(2).eml") << prefix;
    }
}

TEST(Naming, NumbersBeyondSixteenBitsNeitherOverflowNorLoop)
{
    FakeFolder folder;
    folder.names = {"N(32767).eml", "N(32768).eml", "Big(4294967295).eml", "Max(18446744073709551615).eml"};
    NamingSettings s = prefixMode("N(32767)");
    EXPECT_EQ(folder.write(body("x"), s), "N(32769).eml");
    s = prefixMode("Big(4294967295)");
    EXPECT_EQ(folder.write(body("x"), s), "Big(4294967296).eml");
    // A number that cannot be counted on is left alone and a new group appended.
    s = prefixMode("Max(18446744073709551615)");
    EXPECT_EQ(folder.write(body("x"), s), "Max(18446744073709551615)(1).eml");
    s = prefixMode("Huge(99999999999999999999999)");
    folder.names.insert("Huge(99999999999999999999999).eml");
    EXPECT_EQ(folder.write(body("x"), s), "Huge(99999999999999999999999)(1).eml");
}

TEST(Naming, ReservedDeviceNamesCountAsTaken)
{
    for (const char* n : {"CON.eml", "con.eml", "Nul.nws", "COM1.eml", "lpt9.eml", "AUX", "PRN .txt", "CONIN$.eml",
                          "conout$", "Clock$.x.eml", "COM\u00B9.eml", "lpt\u00B3", "Com\u00B2.a"})
        EXPECT_TRUE(isReservedDeviceName(n)) << n;
    for (const char* n : {"CONS.eml", "COM0.eml", "COM10.eml", "Con(1).eml", "LPT.eml", "NoSubject.eml", "CONIN.eml",
                          "COM\u2074.eml", "aux(1).txt.eml"})
        EXPECT_FALSE(isReservedDeviceName(n)) << n;
}

namespace {

// The names three records get in prefix mode, one after the other, in `folder`.
std::vector<std::string> threeRecordsNamed(const char* prefix, FakeFolder& folder)
{
    NamingSettings s = prefixMode(prefix);
    std::vector<std::string> written;
    for (int i = 0; i < 3; ++i)
        written.push_back(folder.write(body("x"), s));
    return written;
}

} // namespace

TEST(Naming, ReservedPrefixIsNumberedAfterItsDevicePartAndEnds)
{
    // Numbered at the end, every candidate of "aux.txt" still began with AUX.
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"aux.txt", {"aux(1).txt.eml", "aux(2).txt.eml", "aux(3).txt.eml"}},
        {"Nul.backup", {"Nul(1).backup.eml", "Nul(2).backup.eml", "Nul(3).backup.eml"}},
        {"con .x", {"con(1) .x.eml", "con(2) .x.eml", "con(3) .x.eml"}},
        {"CONOUT$", {"CONOUT$(1).eml", "CONOUT$(2).eml", "CONOUT$(3).eml"}},
        {"aux.x(2)", {"aux(1).x(2).eml", "aux(2).x(2).eml", "aux(3).x(2).eml"}},
    };
    for (const auto& [prefix, expected] : cases) {
        FakeFolder folder;
        EXPECT_EQ(threeRecordsNamed(prefix, folder), expected) << prefix;
        EXPECT_LE(folder.tests, 2 * 3) << prefix;
    }
}

TEST(Naming, PrefixCountsOnItsFirstParenthesisedNumber)
{
    // A group that holds no whole number is text: "(1)" is appended once and counted.
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"Backup (old)", {"Backup (old).eml", "Backup (old)(1).eml", "Backup (old)(2).eml"}},
        {"My(file", {"My(file.eml", "My(file(1).eml", "My(file(2).eml"}},
        {"(a)b", {"(a)b.eml", "(a)b(1).eml", "(a)b(2).eml"}},
        {"F()", {"F().eml", "F()(1).eml", "F()(2).eml"}},
        {"Mail(7) (draft)", {"Mail(7) (draft).eml", "Mail(8) (draft).eml", "Mail(9) (draft).eml"}},
    };
    for (const auto& [prefix, expected] : cases) {
        FakeFolder folder;
        EXPECT_EQ(threeRecordsNamed(prefix, folder), expected) << prefix;
    }
}

TEST(Naming, LongUnicodeNamesAreShortenedToFitByWholeCharacters)
{
    // 100 three-byte characters are 300 bytes, more than a file name may hold.
    std::string euros;
    for (int i = 0; i < 100; ++i)
        euros += "\u20AC";
    FakeFolder folder;
    NamingSettings s = prefixMode(euros);
    const std::string first = folder.write(body("x"), s);
    EXPECT_LE(first.size(), 255u);
    EXPECT_TRUE(carrowin::text::isValidUtf8(first));
    EXPECT_EQ(first, std::string(euros, 0, 249) + ".eml");
    const std::string second = folder.write(body("x"), s);
    EXPECT_LE(second.size(), 255u);
    EXPECT_TRUE(carrowin::text::isValidUtf8(second));
    EXPECT_TRUE(second.ends_with("(1).eml"));
}

TEST(Naming, WindowsLimitCountsUtf16UnitsNotBytes)
{
    // 100 "€" take 300 bytes but 100 UTF-16 units: nothing is cut where units count.
    std::string euros;
    for (int i = 0; i < 100; ++i)
        euros += "\u20AC";
    FakeFolder folder;
    folder.limit = {255, NameUnit::Utf16Units};
    NamingSettings s = prefixMode(euros);
    EXPECT_EQ(folder.write(body("x"), s), euros + ".eml");
    EXPECT_EQ(folder.write(body("x"), s), euros + "(1).eml");
    // A character beyond U+FFFF takes two units, and is never cut in half.
    std::string faces;
    for (int i = 0; i < 100; ++i)
        faces += "\U0001F600";
    s = prefixMode(faces);
    EXPECT_EQ(carrowin::text::utf16Length(folder.write(body("x"), s)), 2u * 100 + 4);
    folder.limit = {21, NameUnit::Utf16Units};
    s = prefixMode(faces);
    EXPECT_EQ(folder.write(body("x"), s), std::string(faces, 0, 4 * 8) + ".eml");
}

TEST(Naming, MemoTellsNamesApartAsTheFileSystemDoes)
{
    // Where case does not count, "lunch" continues the numbering of "Lunch".
    const auto upper = [](std::string_view n) {
        std::string u(n);
        for (char& c : u)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return u;
    };
    FakeFolder folder;
    folder.memo = NumberingMemo(upper);
    NamingSettings s{true, true, "", "/out/"};
    const auto takenIgnoringCase = [&](const std::string& n) {
        ++folder.tests;
        for (const auto& have : folder.names)
            if (upper(have) == upper(n))
                return true;
        return false;
    };
    for (const char* subject : {"Lunch", "lunch", "LUNCH"}) {
        const ChosenName c = nameRecord(body(subject), s, takenIgnoringCase, folder.memo, folder.limit);
        folder.names.insert(c.fileName);
    }
    EXPECT_EQ(folder.names, (std::set<std::string>{"LUNCH(2).eml", "Lunch.eml", "lunch(1).eml"}));
    EXPECT_EQ(folder.tests, 1 + 2 + 2) << "the third record starts at the number the second one left";
}

TEST(Naming, ManySameSubjectsDoNotRetestEveryNumber)
{
    FakeFolder folder;
    NamingSettings s{true, true, "", "/out/"};
    for (int i = 0; i < 1000; ++i)
        folder.write(body("Same"), s);
    EXPECT_TRUE(folder.names.contains("Same(999).eml"));
    EXPECT_LE(folder.tests, 3 * 1000);
}

TEST(Naming, RefusesUnsafeSettings)
{
    EXPECT_NE(settingsRefusal({true, true, "", ""}), "");
    EXPECT_NE(settingsRefusal(prefixMode("a/b")), "");
    EXPECT_NE(settingsRefusal(prefixMode("..\\x")), "");
    EXPECT_NE(settingsRefusal(prefixMode(std::string("a\0b", 3))), "");
    // Control characters, on every platform, are named.
    EXPECT_NE(settingsRefusal(prefixMode("a\nb")).find("U+000A"), std::string::npos);
    EXPECT_NE(settingsRefusal(prefixMode("a\tb")).find("U+0009"), std::string::npos);
    EXPECT_NE(settingsRefusal(prefixMode("a\x7F")).find("U+007F"), std::string::npos);
    EXPECT_EQ(settingsRefusal(prefixMode("My.Mail_1 (x)")), "");
    // In subject mode the prefix box is not used, so what it holds does not matter.
    EXPECT_EQ(settingsRefusal({true, true, "a/b", "/out"}), "");
}

TEST(Naming, DecodedSubjectsLoseTheControlsANameCouldDeceiveWith)
{
    const struct {
        const char* subject;
        const char* name;
    } cases[] = {
        {"=?utf-8?Q?invoice=E2=80=AEfdp.exe?=", "invoice fdp exe"},    // U+202E turns the text round
        {"=?utf-8?Q?a=E2=81=A6b=E2=81=A9c?=", "a b c"},                // U+2066, U+2069
        {"=?utf-8?Q?a=E2=80=AAb=E2=80=ACc?=", "a b c"},                // U+202A, U+202C
        {"=?utf-8?Q?next=C2=85line=C2=9Fend?=", "next line end"},      // C1: U+0085, U+009F
        {"=?utf-8?Q?Gr=C3=BC=C3=9Fe_=E2=80=8F_=D7=A9=D7=9C=D7=95=D7=9D?=", "Gr\u00FC\u00DFe \u200F \u05E9\u05DC\u05D5\u05DD"},
    };
    for (const auto& c : cases) {
        const std::string header = std::string("Subject: ") + c.subject + "\r\n";
        EXPECT_EQ(finishBaseName(decodedSubjectText(header, true)), c.name) << c.subject;
    }
}

TEST(Naming, AFrontierMemoNeverSearchesAgainFromTheStart)
{
    // Another program has taken Same(1) to Same(300) since the run chose its names
    // Same(1), Same(2)...: each of them must not cost a search through the 300 again.
    std::set<std::string> taken;
    for (int i = 1; i <= 300; ++i)
        taken.insert("Same(" + std::to_string(i) + ").eml");
    int tests = 0;
    const TakenTest test = [&](const std::string& n) {
        ++tests;
        return taken.contains(n);
    };
    NumberingMemo memo(nullptr, NumberingMemo::Keeps::Frontier);
    const FileNameLimit limit{255, NameUnit::Utf8Bytes};
    for (int i = 1; i <= 100; ++i) {
        const ChosenName c = chooseFreeName("Same(" + std::to_string(i) + ")", ".eml", test, memo, limit);
        EXPECT_EQ(c.fileName, "Same(" + std::to_string(300 + i) + ").eml");
        taken.insert(c.fileName);
    }
    EXPECT_LE(tests, 300 + 3 * 100);
}
