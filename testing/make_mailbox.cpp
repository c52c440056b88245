// Writes a realistic OE4-layout mailbox for benchmarks and the sample run: varied
// headers, subjects (replies, punctuation, accented letters, duplicates), sizes,
// CRLF and LF line ends, some news articles. Optionally the same messages as an mbox.
#include "mailbox_writer.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string_view>
#include <vector>
#include <random>
#include <string>

namespace {

constexpr std::array kWords{"meeting", "report", "invoice", "holiday", "photos", "budget", "release", "party",
                            "question", "update", "lunch", "draft", "minutes", "schedule", "offer", "backup",
                            "caf\xE9", "Gr\xFC\xDF" "e", "na\xEFve", "r\xE9sum\xE9", "\x80" "100", "Stra\xDF" "e"};
constexpr std::array kPeople{"Ann Baker <ann@example.com>", "Bo Chen <bo@example.org>", "Cleo Diaz <cleo@example.net>",
                             "Dan Ek <dan@example.com>", "J\xF6rg M\xFCller <joerg@example.de>"};
constexpr std::array kGroups{"comp.lang.c", "alt.test", "rec.photo.digital", "de.comp.os.misc"};

struct Generator {
    std::mt19937_64 rng;
    bool sameSubject = false;
    bool distinct = false;
    std::string subjectText; // every subject, when given
    std::vector<std::string> subjects; // one message each, when given
    std::size_t bodySize = 0; // 0: sizes vary as in real mail

    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }

    std::string subject(std::size_t i)
    {
        if (!subjects.empty())
            return subjects[i];
        if (!subjectText.empty())
            return subjectText;
        if (sameSubject)
            return "Weekly status";
        if (distinct)
            return "Status report number " + std::to_string(i);
        if (pick(10) == 0)
            return "Re: lunch";
        std::string s;
        for (std::size_t w = 0, n = 2 + pick(6); w < n; ++w)
            s += std::string(w ? " " : "") + kWords[pick(kWords.size())];
        static constexpr std::array kDecor{"", "", "Re: ", "RE: ", "Fwd: ", "Re: Re: "};
        static constexpr std::array kTail{"", "", "!", "?", " (2/3)", ": notes_v1.2", " [urgent]"};
        return std::string(kDecor[pick(kDecor.size())]) + s + kTail[pick(kTail.size())] + " #" + std::to_string(i % 997);
    }

    std::string message(std::size_t i)
    {
        const bool news = pick(8) == 0;
        const std::string eol = pick(20) == 0 ? "\n" : "\r\n";
        std::string m;
        m += "From: " + std::string(kPeople[pick(kPeople.size())]) + eol;
        if (news)
            m += "Newsgroups: " + std::string(kGroups[pick(kGroups.size())]) + eol + "Path: news.example.net!not-for-mail" + eol;
        else
            m += "To: " + std::string(kPeople[pick(kPeople.size())]) + eol;
        m += "Subject: " + subject(i) + eol;
        m += "Date: Mon, " + std::to_string(1 + pick(28)) + " Jun 1998 10:" + std::to_string(10 + pick(50)) + ":00 +0200" + eol;
        m += "Message-ID: <" + std::to_string(rng()) + "@example.com>" + eol;
        m += "MIME-Version: 1.0" + eol + "Content-Type: text/plain; charset=\"iso-8859-1\"" + eol;
        m += "X-Mailer: Mail client 4.72" + eol + eol;
        if (bodySize != 0) // an attachment's base64 lines, to the size asked for
            return m + base64Lines(bodySize, eol);
        // Mostly small messages, a few large ones: 300 bytes to about 60 KB.
        const std::size_t size = static_cast<std::size_t>(std::exp(std::normal_distribution<double>(8.0, 0.9)(rng)));
        const std::size_t target = std::min<std::size_t>(std::max<std::size_t>(size, 300), 60000);
        while (m.size() < target)
            m += std::string(kWords[pick(kWords.size())]) + (pick(12) == 0 ? eol : " ");
        return m + eol;
    }

    std::string base64Lines(std::size_t size, const std::string& eol)
    {
        // Lines drawn from a pool of random ones: gigabytes are written at copying speed.
        static constexpr std::string_view kAlphabet{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"};
        if (m_lines.empty())
            for (int n = 0; n < 1024; ++n) {
                std::string line;
                for (int i = 0; i < 76; ++i)
                    line += kAlphabet[rng() % 64];
                m_lines.push_back(line);
            }
        std::string text;
        text.reserve(size + 80);
        while (text.size() < size)
            text.append(m_lines[pick(m_lines.size())]).append(eol);
        return text;
    }

    std::vector<std::string> m_lines;
};

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Writes a generated OE4 mailbox", "make-mailbox"};
    std::size_t count = 20000;
    std::uint64_t seed = 1;
    std::uint32_t firstNumber = 1;
    std::string path;
    std::string mbox;
    Generator g;
    app.add_option("--messages", count, "Number of messages");
    app.add_option("--seed", seed, "Random seed");
    app.add_option("--first-number", firstNumber, "Message number of the first record");
    app.add_flag("--same-subject", g.sameSubject, "Give every message the same subject");
    app.add_flag("--distinct", g.distinct, "Give every message its own subject");
    std::string pattern;
    std::size_t repeat = 1;
    app.add_option("--subject", pattern, "Give every message this subject...");
    app.add_option("--subject-repeat", repeat, "...this many times over");
    app.add_option("--body-size", g.bodySize, "Give every message a base64 body of about this many bytes");
    std::uint64_t longSubject = 0;
    app.add_option("--long-subject", longSubject,
                   "Write one message whose Subject line runs this many bytes to the end of the mailbox");
    app.add_option("--mbox", mbox, "Also write the messages as an mbox file");
    std::string subjectsFile;
    app.add_option("--subjects-from", subjectsFile, "One message for every line of this file, that line its subject");
    app.add_option("MAILBOX", path, "Output file")->required();
    CLI11_PARSE(app, argc, argv);
    g.rng.seed(seed);
    for (std::size_t i = 0; i < repeat && !pattern.empty(); ++i)
        g.subjectText += pattern;
    if (!subjectsFile.empty()) {
        std::ifstream lines(subjectsFile, std::ios::binary);
        for (std::string line; std::getline(lines, line);)
            g.subjects.push_back(line);
        count = g.subjects.size();
    }

    std::ofstream out(path, std::ios::binary);
    std::ofstream mb;
    if (!mbox.empty())
        mb.open(mbox, std::ios::binary);
    using namespace carrowin::testing;
    out << mailboxHeader();
    if (longSubject != 0) {
        // Written in pieces: the line is larger than memory should be.
        out << recordHeader(firstNumber, 9 + longSubject, 0) << "Subject: ";
        const std::string piece(1 << 20, 's');
        for (std::uint64_t left = longSubject; left > 0; left -= std::min<std::uint64_t>(left, piece.size()))
            out.write(piece.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(left, piece.size())));
        return out.good() ? 0 : 1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = g.message(i);
        const std::size_t padding = paddingFor(text) + 4 * g.pick(3);
        out << record(text, firstNumber + static_cast<std::uint32_t>(i), padding);
        if (mb)
            mb << "From MAILER-DAEMON Mon Jun  1 10:00:00 1998\n" << text << "\n";
    }
    return out.good() ? 0 : 1;
}
