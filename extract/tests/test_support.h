#pragma once
// What the tests need from the platform: memory and files of several GiB that take no
// room, hidden files, the system's code for a missing file, and child processes.
#include "mailbox_builder.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace carrowin::testing {

// `size` bytes that read as zeros and take memory only where they are written.
class ZeroedMemory {
public:
    explicit ZeroedMemory(std::size_t size);
    ~ZeroedMemory();
    ZeroedMemory(const ZeroedMemory&) = delete;
    ZeroedMemory& operator=(const ZeroedMemory&) = delete;
    char* data() const { return m_data; }

private:
    char* m_data;
    std::size_t m_size;
};

// A file of `size` bytes holding each piece at its offset and zeros elsewhere, with
// holes where the file system allows them.
void writeSparseFile(const std::filesystem::path& path, std::uint64_t size,
                     const std::vector<std::pair<std::uint64_t, std::string>>& pieces);

// Creates an empty file that the platform's file manager does not show ("." in front
// of the name on POSIX, the hidden attribute on Windows); returns its file name.
std::string createHiddenFile(const std::filesystem::path& folder, const std::string& name);

// The folder of the running test program.
std::filesystem::path programFolder();

// Makes `storeRoot` (UTF-8) the current user's mail store for findStoreRoot: in a Wine
// prefix made in `scratch` on POSIX, in the registry on Windows. useNoStore removes it.
void useStoreRoot(const std::filesystem::path& scratch, const std::string& storeRoot);
void useNoStore(const std::filesystem::path& scratch);

// The code the system gives for opening a path that does not exist.
std::error_code missingFileCode();

struct Outcome {
    int status = -1; // the exit status
    std::string out;
    std::string err;
};

// A program started in `cwd` with UTF-8 arguments, its output going to files and its
// input read from the file `input` when one is given. On Windows it has a console of its
// own, so that it can be sent Ctrl+C.
class ChildProcess {
public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::filesystem::path& cwd, const std::filesystem::path& input = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void interrupt(); // as Ctrl+C does
    Outcome wait();

private:
    TempDir m_logs;
    std::intptr_t m_handle = -1; // pid or process HANDLE
    std::uint32_t m_id = 0;
};

// A program without a folder is looked for where the system looks for programs.
inline Outcome runProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                          const std::filesystem::path& cwd, const std::filesystem::path& input = {})
{
    return ChildProcess(program, args, cwd, input).wait();
}

} // namespace carrowin::testing
