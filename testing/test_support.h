#pragma once
// What the tests need: mailboxes and files, and from the platform files of several GiB
// that take no room, hidden files, the system's code for a missing file, and
// child processes.
#include "mailbox_writer.h"
#include "test_files.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace carrowin::testing {

// A file of `size` bytes holding each piece at its offset and zeros elsewhere, with
// holes where the file system allows them.
void writeSparseFile(const std::filesystem::path& path, std::uint64_t size,
                     const std::vector<std::pair<std::uint64_t, std::string>>& pieces);

// A limit on the size of the files this process writes, which stops a write half way as a
// full disk does (POSIX: RLIMIT_FSIZE, with SIGXFSZ ignored), until it is destroyed.
// Where the platform has no such limit, active() is false.
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return m_active; }

private:
    std::uint64_t m_before = 0;
    bool m_active = false;
};

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
    int status = -1; // the exit status; 128 and the signal's number for a death by a signal
    int signal = 0;  // the signal that ended it (POSIX), 0 when it exited
    std::string out;
    std::string err;
};

// How a child's standard streams and limits are set up.
struct ChildSetup {
    std::filesystem::path input{}; // standard input read from this file, when given
    int outputFd = -1;           // POSIX: standard output to this descriptor, not to a log
    std::uint64_t fileSizeLimit = 0; // POSIX: the largest file it may write (RLIMIT_FSIZE); 0 for none
};

// A program started in `cwd` with UTF-8 arguments, its output going to files. On
// Windows it has a console of its own, so that it can be sent Ctrl+C. A program without
// a folder is looked for where the system looks for programs. Destroyed before it was
// waited for, it is killed.
class ChildProcess {
public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::filesystem::path& cwd, const ChildSetup& setup = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The process id, for signals and /proc on POSIX.
    std::uint32_t id() const { return m_id; }
    // Whether it has not ended yet; it is not waited for by asking.
    bool running() const;
    void interrupt(); // as Ctrl+C does
    Outcome wait();

private:
    TempDir m_logs;
    std::intptr_t m_handle = -1; // pid or process HANDLE
    std::uint32_t m_id = 0;
};

inline Outcome runProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                          const std::filesystem::path& cwd, const std::filesystem::path& input = {})
{
    return ChildProcess(program, args, cwd, {input}).wait();
}

} // namespace carrowin::testing
