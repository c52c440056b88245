#include "record_scan.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace carrowin::extract;
using carrowin::testing::record;

namespace {

const std::string kMarker(carrowin::extract::kRecordMarker);

std::vector<std::string> bodies(std::string_view image)
{
    std::vector<std::string> out;
    std::uint64_t from = 0;
    while (auto r = nextRecord(image, from)) {
        EXPECT_GE(r->bodyEnd, r->bodyBegin);
        EXPECT_GT(r->bodyEnd, from == 0 ? 0 : from - 1) << "the scan must move forward";
        out.emplace_back(bodyOf(image, *r));
        from = r->bodyEnd;
    }
    return out;
}

std::string header12() { return std::string(12, 'h'); }

} // namespace

TEST(RecordScan, ImageWithoutMarkerHasNoRecord)
{
    EXPECT_TRUE(bodies("").empty());
    EXPECT_TRUE(bodies(std::string("JMF6") + std::string(80, '\0')).empty());
    EXPECT_TRUE(bodies(std::string("\x7F\x00\x7F\x00 and \x00\x7F\x00 only", 17)).empty());
}

TEST(RecordScan, BodyRunsFromSixteenPastTheMarkerToTheNextMarker)
{
    const std::string image = "junk" + kMarker + header12() + "BODY" + kMarker + header12() + "tail";
    EXPECT_EQ(bodies(image), (std::vector<std::string>{"BODY", "tail"}));
}

TEST(RecordScan, MarkerSixteenBytesOnGivesAnEmptyBody)
{
    const std::string image = kMarker + header12() + kMarker + header12() + "x";
    EXPECT_EQ(bodies(image), (std::vector<std::string>{"", "x"}));
}

TEST(RecordScan, WritesTheRecordAfterTheLastMarker)
{
    const std::string image = kMarker + header12() + "a" + kMarker + header12() + "b" + kMarker + header12() + "last";
    EXPECT_EQ(bodies(image), (std::vector<std::string>{"a", "b", "last"}));
    // A single marker still yields its record, and a cut-off header an empty one.
    EXPECT_EQ(bodies(kMarker + header12() + "only"), (std::vector<std::string>{"only"}));
    EXPECT_EQ(bodies(kMarker + "abc"), (std::vector<std::string>{""}));
}

TEST(RecordScan, MarkerInsideTheHeaderDoesNotSplitTheRecord)
{
    // Message number 32512 is 00 7F 00 00: the header then reads 00 7F 00 7F 00 7F ...
    const std::string image = carrowin::testing::record("first message", 32512)
                              + carrowin::testing::record("second", 32513 + 65536);
    EXPECT_EQ(bodies(image), (std::vector<std::string>{"first message", "second"}));
    EXPECT_EQ(bodies(std::string("\x00\x7F\x00\x7F\x00\x7F", 6) + std::string(10, 'h') + "body"),
              (std::vector<std::string>{"body"}));
}

TEST(RecordScan, BytesOfEveryValueAreCarriedThrough)
{
    std::string body;
    for (int c = 0; c < 256; ++c)
        body += static_cast<char>(c);
    body += std::string("\x00\x7F\x00", 3); // no final 7F: not a marker
    const std::string image = kMarker + header12() + body;
    EXPECT_EQ(bodies(image), (std::vector<std::string>{body}));
}

TEST(RecordMarker, IsFoundWhereItLiesWhollyInTheBytes)
{
    const std::string marker(kRecordMarker);
    EXPECT_EQ(findRecordMarker(marker, 0), 0u);
    EXPECT_EQ(findRecordMarker("ab" + marker, 0), 2u);
    EXPECT_EQ(findRecordMarker(marker + "x" + marker, 1), 5u);
    EXPECT_FALSE(findRecordMarker(std::string("\x7F\x00\x7F\x00", 4), 0));
    EXPECT_FALSE(findRecordMarker(std::string("\x00\x7F\x00", 3), 0));
    // Overlapping: 00 7F 00 7F 00 7F holds one at 0 and one at 2.
    EXPECT_EQ(findRecordMarker(std::string("\x00\x7F\x00\x7F\x00\x7F", 6), 1), 2u);
}
