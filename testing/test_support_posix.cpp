#include "test_support.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace carrowin::testing {

void prepareTestProcess() {}

void writeSparseFile(const std::filesystem::path& path, std::uint64_t size,
                     const std::vector<std::pair<std::uint64_t, std::string>>& pieces)
{
    std::ofstream out(path, std::ios::binary);
    for (const auto& [offset, bytes] : pieces) {
        out.seekp(static_cast<std::streamoff>(offset));
        out << bytes;
    }
    out.close();
    std::filesystem::resize_file(path, size);
}

FileSizeLimit::FileSizeLimit(std::uint64_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    m_before = limit.rlim_cur;
    limit.rlim_cur = bytes;
    m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    if (m_active && ::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = m_before;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
}

std::string createHiddenFile(const std::filesystem::path& folder, const std::string& name)
{
    writeFile(folder / pathOf("." + name), "");
    return "." + name;
}

std::filesystem::path programFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

void useStoreRoot(const std::filesystem::path& scratch, const std::string& storeRoot)
{
    std::string escaped;
    for (char c : storeRoot)
        escaped += (c == '\\' || c == '"') ? std::string{'\\', c} : std::string{c};
    std::filesystem::create_directories(scratch / "wine");
    writeFile(scratch / "wine/user.reg", "WINE REGISTRY Version 2\n\n[Software\\\\Microsoft\\\\Outlook Express] 1\n"
                                         "\"Store Root\"=\"" + escaped + "\"\n");
    ::setenv("WINEPREFIX", (scratch / "wine").c_str(), 1);
}

void useNoStore(const std::filesystem::path& scratch)
{
    ::setenv("WINEPREFIX", (scratch / "no-prefix").c_str(), 1);
}

std::error_code missingFileCode()
{
    return {ENOENT, std::generic_category()};
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                           const std::filesystem::path& cwd, const ChildSetup& setup)
{
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = (m_logs / "out").string();
    const std::string errPath = (m_logs / "err").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!setup.input.empty())
            ::dup2(::open(setup.input.c_str(), O_RDONLY), 0);
        if (::chdir(cwd.c_str()) != 0)
            ::_exit(126);
        ::dup2(setup.outputFd >= 0 ? setup.outputFd : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        if (setup.fileSizeLimit != 0) {
            const rlimit limit{setup.fileSizeLimit, setup.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    m_handle = pid;
    m_id = static_cast<std::uint32_t>(pid);
}

ChildProcess::~ChildProcess()
{
    if (m_handle > 0) {
        ::kill(static_cast<pid_t>(m_handle), SIGKILL);
        ::waitpid(static_cast<pid_t>(m_handle), nullptr, 0);
    }
}

bool ChildProcess::running() const
{
    siginfo_t info{};
    return m_handle > 0
           && ::waitid(P_PID, static_cast<id_t>(m_handle), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

void ChildProcess::interrupt()
{
    ::kill(static_cast<pid_t>(m_handle), SIGINT);
}

Outcome ChildProcess::wait()
{
    int st = 0;
    ::waitpid(static_cast<pid_t>(m_handle), &st, 0);
    m_handle = -1;
    const int signal = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
    return {WIFEXITED(st) ? WEXITSTATUS(st) : 128 + signal, signal, readFile(m_logs / "out"), readFile(m_logs / "err")};
}

} // namespace carrowin::testing
