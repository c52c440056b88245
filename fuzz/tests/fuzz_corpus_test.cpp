// Every input a fuzz target found and that is kept in corpus/ (a named file each) keeps
// its target's invariants: one test each, under the file's name.
#include "checks.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

struct Find {
    std::string target; // the folder of corpus/
    std::string file;
};

std::vector<Find> finds()
{
    std::vector<Find> all;
    for (const char* target : {"record-naming", "registry", "imap-responses"})
        for (const auto& e : fs::directory_iterator(fs::path(CARROWIN_FUZZ_CORPUS) / target))
            all.push_back({target, e.path().filename().string()});
    std::sort(all.begin(), all.end(), [](const Find& a, const Find& b) { return a.file < b.file; });
    return all;
}

class FuzzFinds : public ::testing::TestWithParam<Find> {};

std::string nameOf(const ::testing::TestParamInfo<Find>& info)
{
    std::string name;
    for (char c : info.param.file)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

} // namespace

TEST_P(FuzzFinds, KeepTheirInvariants)
{
    const Find& find = GetParam();
    const std::string input = t::readFile(fs::path(CARROWIN_FUZZ_CORPUS) / find.target / find.file);
    const auto check = find.target == "registry"         ? carrowin::fuzz::checkRegistryReader
                       : find.target == "imap-responses" ? carrowin::fuzz::checkImapResponses
                                                         : carrowin::fuzz::checkRecordNaming;
    EXPECT_EQ(check(input), "");
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzFinds, ::testing::ValuesIn(finds()), nameOf);
