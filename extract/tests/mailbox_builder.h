#pragma once
// Builds mailboxes in the OE4 layout for tests: an 84-byte header starting "JMF6", then
// records of marker, message number, record size, text size (all u32 little-endian),
// the text and padding.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace carrowin::testing {

inline void appendU32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string mailboxHeader()
{
    std::string h = "JMF6";
    h.resize(84, '\0');
    return h;
}

// One record; `padding` bytes of zeros follow the text.
inline std::string record(std::string_view text, std::uint32_t number = 1, std::size_t padding = 0)
{
    std::string r("\x00\x7F\x00\x7F", 4);
    appendU32(r, number);
    appendU32(r, static_cast<std::uint32_t>(16 + text.size() + padding));
    appendU32(r, static_cast<std::uint32_t>(text.size()));
    r += text;
    r.append(padding, '\0');
    return r;
}

// The padding that mailbox() puts after a text: zeros up to a multiple of four bytes.
inline std::size_t paddingFor(std::string_view text)
{
    return (4 - text.size() % 4) % 4;
}

// What a message of mailbox() is written out as: its text and padding.
inline std::string padded(std::string_view text)
{
    return std::string(text) + std::string(paddingFor(text), '\0');
}

inline std::string mailbox(const std::vector<std::string>& messages, std::uint32_t firstNumber = 1)
{
    std::string m = mailboxHeader();
    std::uint32_t n = firstNumber;
    for (const auto& text : messages)
        m += record(text, n++, paddingFor(text));
    return m;
}

// A message with CRLF line ends.
inline std::string mail(std::string_view subject, std::string_view text = "Hello.")
{
    return "From: a@example.com\r\nSubject: " + std::string(subject) + "\r\nTo: b@example.com\r\n\r\n"
           + std::string(text) + "\r\n";
}

// A path as UTF-8, and UTF-8 text as a path (a narrow string is read in the ANSI code
// page on Windows, which cannot hold every name).
inline std::string utf8(const std::filesystem::path& path)
{
    const std::u8string s = path.u8string();
    return {s.begin(), s.end()};
}

inline std::filesystem::path pathOf(std::string_view utf8Text)
{
    return std::filesystem::path(std::u8string(utf8Text.begin(), utf8Text.end()));
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// A fresh, empty folder under the system's temp folder, removed again by the destructor.
// Names of the entries in a folder, as UTF-8, sorted.
inline std::vector<std::string> entriesOf(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(utf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

class TempDir {
public:
    TempDir()
    {
        std::random_device random;
        do
            m_path = std::filesystem::temp_directory_path() / ("carrowin-test-" + std::to_string(random()));
        while (!std::filesystem::create_directory(m_path));
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / pathOf(name); }

    // Names of the entries in the folder, as UTF-8, sorted.
    std::vector<std::string> entries() const { return entriesOf(m_path); }

private:
    std::filesystem::path m_path;
};

} // namespace carrowin::testing
