#include "checks.h"

#include "imap_response.h"

#include "output_naming.h"
#include "path_rules.h"
#include "naming_excerpt.h"
#include "record_scan.h"
#include "record_stream.h"
#include "ascii.h"
#include "utf8.h"
#include "wine_registry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace carrowin::fuzz {
namespace {

using namespace extract;
using text::isValidUtf8;

// The scan moves forward, keeps every body inside the image, and its records cover the
// image from the first marker to the end exactly once.
std::string checkScan(std::string_view image)
{
    std::uint64_t from = 0;
    std::uint64_t expectedMarker = findMarker(image, 0).value_or(image.size());
    while (const auto r = nextRecord(image, from)) {
        if (r->marker != expectedMarker)
            return "a record does not start where the last one ended";
        if (image.substr(r->marker, 4) != kRecordMarker)
            return "a record does not start with the marker";
        if (r->bodyBegin != std::min<std::uint64_t>(r->marker + kRecordHeaderSize, image.size()))
            return "a body does not start 16 bytes after its marker";
        if (r->bodyEnd < r->bodyBegin || r->bodyEnd > image.size())
            return "a body lies outside the image";
        if (r->bodyEnd <= from)
            return "the scan did not move forward";
        expectedMarker = from = r->bodyEnd;
    }
    if (expectedMarker != image.size())
        return "the records do not run to the end of the image";
    return {};
}

// Read in pieces of `piece` bytes, the image gives the records of the whole-image scan,
// with the same bodies, extensions and subject names.
std::string checkStreaming(std::string_view image, std::size_t piece)
{
    struct Record {
        std::uint64_t marker = 0;
        std::string header;
        std::string body;
        NamingExcerpt excerpt;
    };
    struct Sink : RecordSink {
        std::vector<Record> records;
        bool recordStarts(std::uint64_t marker, std::string_view header) override
        {
            records.push_back({marker, std::string(header), {}, {}});
            return true;
        }
        void bodyBytes(std::string_view bytes) override
        {
            records.back().body += bytes;
            records.back().excerpt.add(bytes);
        }
        void recordEnds(std::uint64_t) override {}
    } sink;
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        const std::size_t got = std::min<std::size_t>(n, image.size() - offset);
        std::memcpy(buffer, image.data() + offset, got);
        return got;
    };
    streamRecords(read, image.size(), piece, sink);
    std::size_t i = 0;
    for (auto r = nextRecord(image, 0); r; r = nextRecord(image, r->bodyEnd), ++i) {
        if (i >= sink.records.size())
            return "reading in pieces lost a record";
        const Record& s = sink.records[i];
        const std::string_view body = bodyOf(image, *r);
        if (s.marker != r->marker || s.body != body)
            return "reading in pieces cut a record differently";
        if (s.header != image.substr(r->marker, std::min<std::uint64_t>(kRecordHeaderSize, image.size() - r->marker)))
            return "reading in pieces gave another record header";
        if (s.excerpt.extension() != extensionFor(body))
            return "reading in pieces gave another extension";
        for (bool removeRe : {true, false})
            if (finishBaseName(subjectText(s.excerpt.subjectBody(), removeRe)) != finishBaseName(subjectText(body, removeRe)))
                return "reading in pieces gave another subject name";
    }
    if (i != sink.records.size())
        return "reading in pieces found a record too many";
    return {};
}

// One folder and one naming run, as the extraction run names: any name in the folder
// and every device name count as taken.
class Folder {
public:
    Folder(const FileNameLimit& limit) : m_limit(limit), m_memo(limit.unit == NameUnit::Utf16Units ? fold : nullptr) {}

    void add(const std::string& name) { m_names.insert(key(name)); }

    std::string name(std::string_view body, NamingSettings& settings)
    {
        std::size_t tests = 0;
        const std::size_t held = m_names.size();
        const TakenTest taken = [&](const std::string& n) {
            ++tests;
            return isReservedDeviceName(n) || m_names.contains(key(n));
        };
        const ChosenName c = chooseFreeName(baseNameFor(body, settings), extensionFor(body), taken, m_memo, m_limit);
        if (const std::string why = checkName(c.fileName, settings.bySubject); !why.empty())
            return why + ": \"" + c.fileName + "\"";
        // Every candidate but the last was taken: by an entry of the folder or, once, as a device.
        if (tests > held + 2)
            return "the numbering tested more candidates than there are names";
        if (m_names.contains(key(c.fileName)))
            return "a taken name was chosen";
        add(c.fileName);
        settings.workingName = c.baseName;
        return {};
    }

private:
    static std::string fold(std::string_view name)
    {
        std::string upper(name);
        for (char& c : upper)
            c = text::asciiUpper(c);
        return upper;
    }
    std::string key(std::string_view name) const { return m_limit.unit == NameUnit::Utf16Units ? fold(name) : std::string(name); }

    std::string checkName(const std::string& file, bool bySubject) const
    {
        if (file.empty() || file == "." || file == "..")
            return "an empty name";
        if (file.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
            return "a name that is not one path component";
        if (nameLength(file, m_limit.unit) > m_limit.max)
            return "a name beyond the limit";
        if (isReservedDeviceName(file))
            return "a device name";
        if (bySubject && !isValidUtf8(file))
            return "a subject name that is not UTF-8";
        return {};
    }

    FileNameLimit m_limit;
    NumberingMemo m_memo;
    std::set<std::string> m_names;
};

} // namespace

std::string checkRecordNaming(std::string_view input)
{
    const std::size_t lineEnd = std::min(input.find('\n'), std::min<std::size_t>(input.size(), 64));
    const std::string_view header = input.substr(0, lineEnd);
    const std::string_view image = input.substr(std::min(lineEnd + 1, input.size()));
    const auto flags = header.empty() ? 0u : static_cast<unsigned char>(header[0]);
    const std::string prefix(header.substr(header.empty() ? 0 : 1));

    if (std::string why = checkScan(image); !why.empty())
        return why;
    const std::size_t piece = 1 + (input.empty() ? 0 : static_cast<unsigned char>(input.back()) % 97);
    if (std::string why = checkStreaming(image, piece); !why.empty())
        return why + " (pieces of " + std::to_string(piece) + ")";
    const FileNameLimit limit{255, (flags & 1) ? NameUnit::Utf16Units : NameUnit::Utf8Bytes};
    Folder folder(limit);
    // A folder that already holds the prefix and some of its numbered forms.
    for (unsigned i = 0; i < (flags >> 3); ++i)
        folder.add(i == 0 ? prefix + ".eml" : prefix + "(" + std::to_string(i) + ").eml");
    NamingSettings subject{true, (flags & 2) != 0, "", "/out/"};
    NamingSettings byPrefix{false, false, prefix, "/out/"};
    if (!settingsRefusal(byPrefix).empty()) // the run refuses these before naming anything
        byPrefix.workingName = "File";
    std::uint64_t from = 0;
    while (const auto r = nextRecord(image, from)) {
        for (NamingSettings* s : {&subject, &byPrefix})
            if (std::string why = folder.name(bodyOf(image, *r), *s); !why.empty())
                return why;
        from = r->bodyEnd;
    }
    return {};
}

std::string checkRegistryReader(std::string_view input)
{
    const auto v = locate::readRegistryValue(input, "Software\\Microsoft\\Outlook Express", "Store Root");
    if (v.valueFound && !v.keyFound)
        return "a value found without its key";
    if (!isValidUtf8(v.text))
        return "a value that is not UTF-8";
    if (!isValidUtf8(locate::unescapeRegistryString(input)))
        return "an unescaped string that is not UTF-8";
    return {};
}

namespace {

// A response cut where responseLength says: not before all of it came, at the same place
// whatever follows; it parses or is refused in words.
std::string checkOneResponse(std::string_view rest, std::size_t n)
{
    std::size_t literal = 0;
    if (n == 0 || n > rest.size())
        return "a response's length lies outside the bytes";
    if (imap::responseLength(rest.substr(0, n - 1), literal))
        return "a response is taken before all of it came";
    if (imap::responseLength(rest.substr(0, n), literal) != n)
        return "a response's length changes with what comes after it";
    std::string error;
    const std::optional<imap::Response> r = imap::parseResponse(rest.substr(0, n), error);
    if (!r && error.empty())
        return "a response refused without words";
    if (r && r->tag.empty())
        return "a response without its tag";
    return {};
}

// What the client writes for the server reads back as itself: a quoted string of the
// input's printable bytes, and the input whole as a literal.
std::string checkRoundTrips(std::string_view input)
{
    std::string printable;
    for (const char c : input)
        if (c >= 0x20 && c < 0x7f)
            printable += c;
    std::string error;
    std::optional<imap::Response> r = imap::parseResponse("* LIST () \"/\" " + imap::quoted(printable) + "\r\n", error);
    if (!r || r->data.size() != 4 || r->data[3].kind != imap::Value::Kind::String || r->data[3].text != printable)
        return "a quoted string does not read back as itself";
    const std::string fetch =
        "* 1 FETCH (BODY[] {" + std::to_string(input.size()) + "}\r\n" + std::string(input) + ")\r\n";
    std::size_t literal = 0;
    if (imap::responseLength(fetch, literal) != fetch.size())
        return "a literal's response does not end where it does";
    r = imap::parseResponse(fetch, error);
    if (!r || r->data.size() != 3 || r->data[2].items.size() != 2 || r->data[2].items[1].text != input)
        return "a literal does not read back as its bytes";
    return {};
}

} // namespace

std::string checkImapResponses(std::string_view input)
{
    for (std::string_view rest = input; !rest.empty();) {
        std::size_t literal = 0;
        const std::optional<std::size_t> n = imap::responseLength(rest, literal);
        if (!n)
            break;
        if (std::string why = checkOneResponse(rest, *n); !why.empty())
            return why;
        rest.remove_prefix(*n);
    }
    return checkRoundTrips(input);
}

int abortIfBroken(const std::string& why)
{
    if (!why.empty()) {
        std::fprintf(stderr, "broken: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}

} // namespace carrowin::fuzz
