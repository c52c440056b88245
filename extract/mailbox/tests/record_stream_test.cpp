// The mailbox read in pieces cuts and names every record exactly as the whole image does,
// for pieces of any size: the whole-image scan is the reference.
#include "mailbox_writer.h"
#include "naming_excerpt.h"
#include "output_naming.h"
#include "record_scan.h"
#include "record_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

using namespace carrowin::extract;
namespace t = carrowin::testing;

namespace {

struct Named {
    std::string file;
    std::string body;
    bool operator==(const Named&) const = default;
};

// Names every record into one folder: by subject (with or without "Remove Re:") and by
// a prefix, one after the other, as two runs would.
class Namer {
public:
    std::vector<Named> name(std::string_view ext, const std::string& subjectBody, std::string body)
    {
        std::vector<Named> out;
        for (NamingSettings* s : {&m_subject, &m_keepRe, &m_prefix}) {
            const ChosenName c = chooseFreeName(baseNameFor(subjectBody, *s), ext, taken(), m_memo, {255, NameUnit::Utf8Bytes});
            m_names.insert(c.fileName);
            s->workingName = c.baseName;
            out.push_back({c.fileName, body});
        }
        return out;
    }

private:
    TakenTest taken()
    {
        return [this](const std::string& n) { return isReservedDeviceName(n) || m_names.contains(n); };
    }
    NamingSettings m_subject{true, true, "", "/out/"};
    NamingSettings m_keepRe{true, false, "", "/out/"};
    NamingSettings m_prefix{false, false, "Mail(7)", "/out/"};
    std::set<std::string> m_names;
    NumberingMemo m_memo;
};

std::vector<Named> wholeImage(std::string_view image)
{
    Namer namer;
    std::vector<Named> all;
    for (auto r = nextRecord(image, 0); r; r = nextRecord(image, r->bodyEnd)) {
        const std::string_view body = bodyOf(image, *r);
        for (Named& n : namer.name(extensionFor(body), std::string(body), std::string(body)))
            all.push_back(std::move(n));
    }
    return all;
}

class Collect : public RecordSink {
public:
    bool recordStarts(std::uint64_t marker, std::string_view header) override
    {
        m_excerpt = NamingExcerpt{};
        m_body.clear();
        starts.emplace_back(marker, std::string(header));
        return true;
    }
    void bodyBytes(std::string_view bytes) override
    {
        EXPECT_FALSE(bytes.empty());
        m_excerpt.add(bytes);
        m_body += bytes;
    }
    void recordEnds(std::uint64_t end) override
    {
        for (Named& n : m_namer.name(m_excerpt.extension(), m_excerpt.subjectBody(), m_body))
            all.push_back(std::move(n));
        ends.push_back(end);
    }
    std::vector<Named> all;
    std::vector<std::pair<std::uint64_t, std::string>> starts; // each record's marker and header
    std::vector<std::uint64_t> ends;

private:
    Namer m_namer;
    NamingExcerpt m_excerpt;
    std::string m_body;
};

// As a file of known size, or as a pipe: its size unknown, read in order, and giving at
// most 7 bytes a read.
Collect streamed(std::string_view image, std::size_t piece, bool pipe = false)
{
    Collect sink;
    std::uint64_t next = 0;
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        EXPECT_EQ(offset, next) << "a read that does not go on where the one before ended";
        const std::size_t got = std::min<std::size_t>(pipe ? std::min<std::size_t>(n, 7) : n, image.size() - offset);
        std::memcpy(buffer, image.data() + offset, got);
        next = offset + got;
        return got;
    };
    streamRecords(read, pipe ? kUnknownSize : image.size(), piece, sink);
    return sink;
}

const std::string kMarker(carrowin::extract::kRecordMarker);

// Every record's marker and header, as the whole image holds them.
std::vector<std::pair<std::uint64_t, std::string>> headersOf(std::string_view image)
{
    std::vector<std::pair<std::uint64_t, std::string>> out;
    for (auto r = nextRecord(image, 0); r; r = nextRecord(image, r->bodyEnd))
        out.emplace_back(r->marker, std::string(image.substr(r->marker, 16)));
    return out;
}

void expectSameForEveryPieceSize(const std::string& image)
{
    const auto reference = wholeImage(image);
    for (std::size_t piece : {1, 3, 4, 5, 17, 4096, 1 << 20}) {
        const Collect file = streamed(image, piece);
        EXPECT_EQ(file.all, reference) << "pieces of " << piece;
        EXPECT_EQ(file.starts, headersOf(image)) << "pieces of " << piece;
        const Collect pipe = streamed(image, piece, true);
        EXPECT_EQ(pipe.all, reference) << "a pipe, pieces of " << piece;
        EXPECT_EQ(pipe.starts, headersOf(image)) << "a pipe, pieces of " << piece;
        EXPECT_EQ(pipe.ends, file.ends) << "a pipe, pieces of " << piece;
        if (!file.ends.empty()) {
            EXPECT_EQ(file.ends.back(), image.size());
        }
    }
}

} // namespace

TEST(RecordStream, CutsAndNamesAsTheWholeImageDoes)
{
    const std::string subjectSplit = t::mail("A subject long enough to be split over many pieces of a few bytes");
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"ordinary", t::mailbox({t::mail("Lunch"), t::mail("Re: Lunch"), "From: a\nSubject: LF only\n\nx\n"})},
        {"overlapping markers", kMarker + "\x00\x7F" + std::string(12, 'h') + "body" + kMarker + std::string(12, 'h') + "x"},
        {"message number 32512", t::record(t::mail("first"), 32512) + t::record(t::mail("second"), 32513 + 65536)},
        {"last record cut inside its header", t::mailbox({t::mail("a")}) + kMarker + "\x01\x02"},
        {"subject split across pieces", t::mailbox({subjectSplit, subjectSplit})},
        {"newsgroups at 2046", t::mailbox({std::string(2045, 'x') + "Newsgroups: a\r\nSubject: at 2046\r\n"})},
        {"newsgroups at 2047", t::mailbox({std::string(2046, 'x') + "Newsgroups: a\r\nSubject: at 2047\r\n"})},
        {"newsgroups at 2048", t::mailbox({std::string(2047, 'x') + "Newsgroups: a\r\nSubject: at 2048\r\n"})},
        {"no marker at all", std::string("plain text, Subject: none\r\n")},
        {"junk before the first marker", "junk" + t::record("Subject: after junk\r\n")},
        {"subject line without its end", t::mailbox({"Subject:    " + std::string(300, 'w') + "   "})},
        {"carriage return far after line feeds", t::mailbox({"Subject: Hello\nTo: b\n\n" + std::string(5000, 't') + "\r\n"})},
        {"many leading spaces", t::mailbox({"Subject: " + std::string(150, ' ') + "Re: late\r\n", "Subject: " + std::string(99, ' ') + "x\n"})},
        {"reply prefix after spaces", t::mailbox({"Subject:   rE:Meeting (Tuesday)\r\n", "Subject: Re:\r\n"})},
        {"long replies", t::mailbox({"Subject: Re: " + std::string(98, 'a') + "bcdef\r\n",
                                     "Subject:     RE:" + std::string(99, 'a') + "b cd\n", "Subject: Re:" + std::string(101, 'z')})},
    };
    for (const auto& [what, image] : cases) {
        SCOPED_TRACE(what);
        expectSameForEveryPieceSize(image);
    }
}

TEST(RecordStream, RandomMailboxesCutAndNameAsTheWholeImageDoes)
{
    // Bodies built from the pieces that matter, in random order and sizes.
    const std::vector<std::string> parts = {"Subject: ", "Re:", "re: ", "\r", "\n", " ", "   ", "Newsgroups: ",
                                            "Lunch", "CON", "(1)", "\x7F", std::string("\x00", 1), kMarker, "\xFC",
                                            std::string(40, 'a'), std::string(700, ' ')};
    std::mt19937 random(2026);
    for (int round = 0; round < 300; ++round) {
        std::string image = random() % 2 ? t::mailboxHeader() : "";
        for (int r = 0, records = static_cast<int>(random() % 6); r < records; ++r) {
            std::string body;
            for (int k = 0, n = static_cast<int>(random() % 20); k < n; ++k)
                body += parts[random() % parts.size()];
            image += t::record(body, static_cast<std::uint32_t>(random()));
        }
        SCOPED_TRACE(round);
        const auto reference = wholeImage(image);
        const Collect sink = streamed(image, 1 + random() % 64);
        EXPECT_EQ(sink.all, reference);
        EXPECT_EQ(sink.starts, headersOf(image));
    }
}

TEST(RecordStream, PositionsBeyondFourGibibytes)
{
    // Records past 2 and 4 GiB of a mailbox of zeros, made up as it is read (a file would
    // have the kernel write 4 GiB of zeros to read it): memory stays that of one piece,
    // under any sanitizer.
    const std::uint64_t first = (std::uint64_t{1} << 31) + 3;  // past 2 GiB
    const std::uint64_t second = (std::uint64_t{1} << 32) + 7; // past 4 GiB
    const std::string header = kMarker + std::string(12, 'h');
    const std::vector<std::pair<std::uint64_t, std::string>> pieces{{first, header}, {second, header + "tail"}};
    const std::uint64_t size = second + 20;
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size - offset));
        std::memset(buffer, 0, n);
        for (const auto& [at, bytes] : pieces)
            for (std::size_t i = 0; i < bytes.size(); ++i)
                if (at + i >= offset && at + i < offset + n)
                    buffer[at + i - offset] = bytes[i];
        return n;
    };
    struct Sink : RecordSink {
        std::vector<std::uint64_t> starts, ends, sizes;
        std::string last;
        bool recordStarts(std::uint64_t marker, std::string_view) override
        {
            starts.push_back(marker);
            sizes.push_back(0);
            last.clear();
            return true;
        }
        void bodyBytes(std::string_view bytes) override
        {
            sizes.back() += bytes.size();
            last.assign(bytes.substr(bytes.size() - std::min<std::size_t>(bytes.size(), 4)));
        }
        void recordEnds(std::uint64_t end) override { ends.push_back(end); }
    } sink;
    streamRecords(read, size, std::size_t{16} << 20, sink);
    EXPECT_EQ(sink.starts, (std::vector<std::uint64_t>{first, second}));
    EXPECT_EQ(sink.ends, (std::vector<std::uint64_t>{second, second + 20}));
    EXPECT_EQ(sink.sizes, (std::vector<std::uint64_t>{second - first - 16, 4}));
    EXPECT_EQ(sink.last, "tail");
}
