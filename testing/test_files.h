#pragma once
// Files and folders for the tests: paths as UTF-8, whole files written and read, and
// folders of their own that go again when the test ends.
#include "paths.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace carrowin::testing {

inline std::string utf8(const std::filesystem::path& path)
{
    return text::utf8FromPath(path);
}

inline std::filesystem::path pathOf(std::string_view utf8Text)
{
    return text::pathFromUtf8(utf8Text);
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

// Names of the entries in a folder, as UTF-8, sorted.
inline std::vector<std::string> entriesOf(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(utf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh, empty folder under the system's temp folder, removed again by the destructor.
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
