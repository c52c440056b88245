#include "header_fields.h"
#include "header_text.h"
#include "message_date.h"

#include <gtest/gtest.h>

using namespace carrowin::extract;

TEST(MessageDate, ReadsCurrentAndObsoleteForms)
{
    const struct {
        const char* text;
        std::int64_t utc;
    } cases[] = {
        {"Mon, 1 Jun 1998 10:00:00 +0200", 896688000},
        {"Mon, 1 Jun 1998 10:00:00 +0200 (CEST)", 896688000},
        {"Mon,1 Jun 1998 10:00:00+0200", 896688000},
        {"1 Jun 98 10:00 EST", 896713200},           // two-digit year, no seconds, named zone
        {"Tue, 15 Nov 1994 08:12:31 GMT", 784887151},
        {"Fri, 21 Nov 1997 09:55:06 -0600", 880127706},
        {"Thu, 13 Feb 1969 23:32 -0330 (Newfoundland Time)", -27723480},
        {"21 Nov 97 09:55:06 UT", 880106106},
        {"Sat, 1 Jan 2000 00:00:00", 946684800}, // no zone: UTC
        {"Wed, 31 Dec 03 23:59:59 PDT", 1072940399},
        {"Tue, 5 Mar 102 10:00 Z", 1015322400},   // three-digit year
        {"Tuesday, 5 Mar 2002 10:00 +0000", 1015322400},
        {"Mar 5 2002 10:00:00 -0000", 1015322400}, // month first, as some mailers wrote it
        // Named zones of one meaning; any other name is read as UTC (RFC 5322, 4.3).
        {"Mon, 1 Jun 1998 10:00:00 CEST", 896688000},
        {"Mon, 1 Jun 1998 10:00:00 MESZ", 896688000},
        {"Mon, 1 Jun 1998 09:00:00 CET", 896688000},
        {"Mon, 1 Jun 1998 17:00:00 JST", 896688000},
        {"Mon, 1 Jun 1998 11:00:00 EEST", 896688000},
        {"Mon, 1 Jun 1998 08:00:00 WET", 896688000},
        {"Mon, 1 Jun 1998 08:00:00 IST", 896688000}, // Irish, Israeli or Indian: unknown
        {"Mon, 1 Jun 1998 08:00:00 XYZ", 896688000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseMessageDate(c.text), std::optional<std::int64_t>(c.utc)) << c.text;
    // The zeros after a message that ends with its header, without a line end.
    using namespace std::string_view_literals;
    EXPECT_EQ(parseMessageDate("Mon, 1 Jun 1998 10:00:00 +0200\0\0\0"sv), 896688000);
}

TEST(MessageDate, GarbageIsNoDate)
{
    for (const char* text : {"", "garbage", "31 Feb 2001 10:00 GMT", "1 Jun 1998 25:00 GMT", "1 Jun 1998 10:00 +0299",
                             "1 Foo 1998 10:00", "1 Jun 1998 10:00 X2Z", "1 Jun 1998", "32 Jan 1998 10:00",
                             "1 Jun 99999 10:00", "1 Jun 1998 10:", "(1 Jun 1998 10:00"})
        EXPECT_EQ(parseMessageDate(text), std::nullopt) << text;
}

TEST(HeaderField, FoldedAnyCaseAndOnlyInTheHeaderBlock)
{
    HeaderBlock block;
    const std::string message = "From: a\r\nsubject:  Long\r\n\tsubject line\r\nDATE : 1 Jun 1998\r\n\r\nX-Later: body\r\n";
    for (char c : message) // byte by byte: the empty line is found across pieces
        block.add(std::string_view(&c, 1));
    EXPECT_EQ(block.text(), "subject:  Long\r\n\tsubject line\r\nDATE : 1 Jun 1998\r\n");
    EXPECT_EQ(headerField(block.text(), "Subject"), "Long\tsubject line");
    EXPECT_EQ(headerField(block.text(), "Date"), "1 Jun 1998");
    EXPECT_EQ(headerField(block.text(), "X-Later"), std::nullopt);
    EXPECT_EQ(headerField("Subject-Line: x\nSubject: y\n", "Subject"), "y");
    EXPECT_EQ(headerField("From: a\nSubject: LF only", "subject"), "LF only");
}

// However far into a long header block: whole, never read half.
TEST(HeaderField, DateAndSubjectAreReadWholeFromAHeaderBlockOfAnyLength)
{
    const std::string filler = [] {
        std::string f;
        while (f.size() < (std::size_t{3} << 20))
            f += "X-Filler: " + std::string(70, 'f') + "\r\n \tfolded Date: no\r\nDated: no\r\nSubjects: no\r\n";
        return f;
    }();
    const std::string date = "Date: Mon, 1 Jun 1998 10:00:00 +0200\r\n";
    const std::string subject = "Subject: far\r\n  into the header\r\n";
    const std::string overlongDate = "Date: Mon, 1 Jun 1998 10:00:00" + std::string(HeaderBlock::kMaxField, ' ') + "+0200\r\n";
    const std::string overlongSubject = "Subject: " + std::string(HeaderBlock::kMaxField, 's') + "\r\n";
    const struct {
        const char* what;
        std::string message;
        std::optional<std::string> date;
        std::optional<std::string> subject;
    } cases[] = {
        {"after 3 MiB of other fields", filler + date + subject + "\r\nDate: body\r\n", "Mon, 1 Jun 1998 10:00:00 +0200",
         "far  into the header"},
        {"the first of each", date + subject + "dATE:  later\r\nSubject : later\r\n", "Mon, 1 Jun 1998 10:00:00 +0200",
         "far  into the header"},
        {"no empty line at all", filler + subject, std::nullopt, "far  into the header"},
        {"after the empty line", "From: a\n\n" + date + subject, std::nullopt, std::nullopt},
        {"a Date longer than the limit", overlongDate + subject, std::nullopt, "far  into the header"},
        {"a Subject longer than the limit", overlongSubject + date, "Mon, 1 Jun 1998 10:00:00 +0200",
         std::string(HeaderBlock::kMaxField - 9, 's')},
    };
    for (const auto& c : cases) {
        for (std::size_t piece : {std::size_t{1} << 16, std::size_t{7}}) {
            SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(piece));
            HeaderBlock block;
            for (std::size_t at = 0; at < c.message.size(); at += piece)
                block.add(std::string_view(c.message).substr(at, piece));
            EXPECT_EQ(headerField(block.text(), "Date"), c.date);
            EXPECT_EQ(headerField(block.text(), "Subject"), c.subject);
            EXPECT_LE(block.text().size(), 2 * HeaderBlock::kMaxField + 2) << "keeps what it need not";
        }
    }
}

TEST(HeaderText, DecodesEncodedWordsAsMailersWriteThem)
{
    const struct {
        const char* field;
        const char* text;
    } cases[] = {
        {"=?ISO-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?=", "Gr\u00FC\u00DFe aus K\u00F6ln"},
        {"=?utf-8?b?w6k=?= and =?utf-8?q?=C3=A9?=", "\u00E9 and \u00E9"}, // lower-case b and q
        {"=?UTF-8?B?SGVsbG8=?= =?UTF-8?B?V29ybGQ?=", "HelloWorld"},       // adjacent: joined; padding optional
        {"=?UTF-8?B?SGVs?=\r\n =?UTF-8?B?bG8=?=", "Hello"},
        {"Re: =?windows-1252?Q?=80_100?= off", "Re: \u20AC 100 off"},
        {"=?koi8-r?B?8NLJ18XU?=", "\u041F\u0440\u0438\u0432\u0435\u0442"},
        {"=?utf-8*en?Q?Hi?=", "Hi"}, // a language after the charset
        {"=?x-unknown?Q?abc?=", "=?x-unknown?Q?abc?="},
        {"=?utf-8?Q?broken=ZZ?=", "=?utf-8?Q?broken=ZZ?="},
        {"=?utf-8?B?w6?=", "=?utf-8?B?w6?="}, // a cut byte: not UTF-8
        {"=?utf-8?Q?no end", "=?utf-8?Q?no end"},
        {"=?utf-8?Q?a b?=", "=?utf-8?Q?a b?="},
        {"=?x?Q?a=?utf-8?Q?b?=", "=?x?Q?ab"},         // a word that is none, then one that ends after it
        {"=?a?Q?x=?a?Q?x=?a?Q?x", "=?a?Q?x=?a?Q?x=?a?Q?x"}, // words that never end
        {"Caf\xC3\xA9", "Caf\u00E9"}, // 8-bit text: UTF-8 when it is
        {"Caf\xE9 \x80", "Caf\u00E9 \u20AC"}, // else Windows-1252
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeHeaderText(c.field), c.text) << c.field;
}
