// What a server answers, as the client reads it: the tag, the status with its code, the
// data with its literals, quoted strings and lists; and where one response ends.
#include "imap_response.h"
#include "imap_session.h"

#include <gtest/gtest.h>

using namespace carrowin::extract::imap;

namespace {

Response parsed(std::string_view wire)
{
    std::string error;
    const std::optional<Response> r = parseResponse(wire, error);
    EXPECT_TRUE(r) << wire << ": " << error;
    return r.value_or(Response{});
}

} // namespace

TEST(ImapResponse, StatusesCarryTheirCodeAndText)
{
    Response r = parsed("* OK [CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN] Dovecot ready.\r\n");
    EXPECT_EQ(r.tag, "*");
    EXPECT_EQ(r.status, "OK");
    EXPECT_EQ(capabilityWords(r.code), (std::vector<std::string>{"CAPABILITY", "IMAP4REV1", "LITERAL+", "AUTH=PLAIN"}));
    EXPECT_EQ(r.text, "Dovecot ready.");
    r = parsed("c7 no [OVERQUOTA] Quota exceeded (mailbox for user is full)\r\n");
    EXPECT_EQ(r.tag, "c7");
    EXPECT_EQ(r.status, "NO");
    EXPECT_EQ(r.code, "OVERQUOTA");
    EXPECT_EQ(r.text, "Quota exceeded (mailbox for user is full)");
    r = parsed("+ \r\n");
    EXPECT_EQ(r.tag, "+");
    EXPECT_TRUE(r.status.empty());
    r = parsed("+ eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIn0=\r\n");
    EXPECT_EQ(r.text, "eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIn0=");
}

TEST(ImapResponse, DataHoldsAtomsStringsListsAndLiterals)
{
    Response r = parsed("* LIST (\\HasNoChildren \\Sent) \".\" \"Sent \\\"Items\\\"\"\r\n");
    ASSERT_EQ(r.data.size(), 4u);
    EXPECT_TRUE(r.data[0].isAtom("list"));
    ASSERT_EQ(r.data[1].kind, Value::Kind::List);
    EXPECT_EQ(r.data[1].items.size(), 2u);
    EXPECT_EQ(r.data[2].text, ".");
    EXPECT_EQ(r.data[3].text, "Sent \"Items\"");
    r = parsed("* LIST () NIL INBOX\r\n");
    EXPECT_EQ(r.data[2].kind, Value::Kind::Nil);
    // A literal carries any bytes, a line end and a NUL among them.
    const std::string body("Subject: x\r\n\r\nA\0B\r\n", 20);
    r = parsed("* 2 FETCH (RFC822.SIZE 20 BODY[]<0> {20}\r\n" + body + ")\r\n");
    ASSERT_EQ(r.data.size(), 3u);
    EXPECT_EQ(r.data[0].text, "2");
    const std::vector<Value>& items = r.data[2].items;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_TRUE(items[0].isAtom("RFC822.SIZE"));
    EXPECT_EQ(items[2].text, "BODY[]<0>");
    EXPECT_EQ(items[3].text, body);
    // A section in brackets may hold spaces and parentheses.
    r = parsed("* 1 FETCH (BODY[HEADER.FIELDS (DATE FROM)] {0}\r\n)\r\n");
    EXPECT_EQ(r.data[2].items[0].text, "BODY[HEADER.FIELDS (DATE FROM)]");
    EXPECT_EQ(r.data[2].items[1].text, "");
}

TEST(ImapResponse, WhatIsNoResponseIsRefusedInWords)
{
    for (const char* wire : {
             "", "\r\n", "* LIST (\\A\r\n", "* 1 FETCH (BODY[] {10}\r\nshort)\r\n",
             "* OK [UNFINISHED code\r\n", "* \"no end\r\n", "* 1 FETCH (A B) extra) \r\n", "* x {99999999999999999999}\r\n",
             "* OK fine\r\nmore\r\n"}) {
        std::string error;
        EXPECT_FALSE(parseResponse(wire, error)) << wire;
        EXPECT_FALSE(error.empty()) << wire;
    }
    std::string deep = "* X ";
    for (int i = 0; i < 100; ++i)
        deep += "(";
    std::string error;
    EXPECT_FALSE(parseResponse(deep + "\r\n", error));
}

TEST(ImapResponse, OneResponseEndsWhereItsLastLineDoesLiteralsIncluded)
{
    std::size_t literal = 0;
    EXPECT_EQ(responseLength("* OK ready\r\nc1 OK", literal), 12u);
    EXPECT_FALSE(responseLength("* OK rea", literal));
    const std::string fetch = "* 1 FETCH (BODY[] {5}\r\nab\r\nc)\r\nc2 OK done\r\n";
    EXPECT_EQ(responseLength(fetch, literal), fetch.find("c2"));
    EXPECT_FALSE(responseLength("* 1 FETCH (BODY[] {500}\r\nab", literal));
    EXPECT_EQ(literal, 500u) << "the size of the literal waited for, to be refused before it comes";
    EXPECT_EQ(responseLength("* 1 X {0}\r\n)\r\n", literal), 14u);
}

TEST(ImapDates, InternalDatesInUtcWithFourDigitYears)
{
    EXPECT_EQ(internalDate(1075800030), "03-Feb-2004 09:20:30 +0000");
    EXPECT_EQ(internalDate(-2208988800), "01-Jan-1900 00:00:00 +0000");
    EXPECT_FALSE(internalDate(253402344000)); // the year 10000
    EXPECT_EQ(quoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
}
