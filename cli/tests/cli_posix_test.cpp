// carrowin-cli against what only POSIX systems do to a program: signals, a killed
// process, a file size limit, a closed pipe, a full disk.
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

const fs::path kCli = t::programFolder() / CARROWIN_CLI_PATH;

struct Spawn {
    int stdoutFd = -1;        // where standard output goes (a file in the logs otherwise)
    rlim_t fileSizeLimit = 0; // 0 for none
};

// Starts carrowin-cli in `cwd`; standard error goes to `errPath`.
pid_t spawnCli(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& errPath, Spawn how = {})
{
    std::vector<std::string> all{kCli.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(cwd.c_str()) != 0)
            ::_exit(126);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(err, 2);
        ::dup2(how.stdoutFd >= 0 ? how.stdoutFd : err, 1);
        if (how.fileSizeLimit != 0) {
            const rlimit limit{how.fileSizeLimit, how.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status; a death by a signal as kKilledBy and the signal's number, so that an
// exit with 143 after a SIGTERM is told apart from being killed by it.
constexpr int kKilledBy = 1000;

int statusOf(int st)
{
    return WIFEXITED(st) ? WEXITSTATUS(st) : kKilledBy + WTERMSIG(st);
}

// Whether the process still catches the signal (a handler that resets itself has run).
bool catches(pid_t pid, int signal)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// Whether the process has not ended yet (it is not reaped by asking).
bool running(pid_t pid)
{
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

int waitFor(pid_t pid)
{
    int st = 0;
    ::waitpid(pid, &st, 0);
    return statusOf(st);
}

// How many bytes the process has written so far.
std::uint64_t bytesWritten(pid_t pid)
{
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "wchar:")
            return value;
    return 0;
}

// A mailbox of small and large messages, and what each becomes.
class Stops : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(dir / "out"); }
    void add(const std::string& subject, const std::string& text)
    {
        m_texts.push_back(t::mail(subject, text));
        m_expected[subject + ".eml"] = t::padded(m_texts.back());
    }
    // Small messages, a large one, many small ones again.
    void writeMailbox(std::size_t large, int after)
    {
        for (int i = 0; i < 20; ++i)
            add("Before " + std::to_string(i), "x");
        add("Large", std::string(large, 'L'));
        for (int i = 0; i < after; ++i)
            add("After " + std::to_string(i), "y");
        t::writeFile(dir / "m.mbx", t::mailbox(m_texts));
    }
    // Every file in the output folder is a whole message under its name; returns how many.
    std::size_t expectOnlyWholeMessages() const
    {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir / "out")) {
            const std::string name = e.path().filename().string();
            const auto it = m_expected.find(name);
            EXPECT_NE(it, m_expected.end()) << "unexpected file " << name;
            if (it != m_expected.end()) {
                EXPECT_TRUE(t::readFile(e.path()) == it->second) << name << " is not whole";
            }
            ++n;
        }
        return n;
    }
    // Runs the split and sends `signal` once the process has written `after` bytes and
    // fewer than `before`. The process is stopped while it is measured and signalled, so
    // the signal lands where it was measured; on a loaded machine it may have run past
    // `before` meanwhile, and the run is made again (ten times at most).
    int runAndSignal(int signal, std::uint64_t after, std::uint64_t before, int times = 1)
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            const pid_t pid = spawnCli({"-q", "-o", "out", "m.mbx"}, dir.path(), dir / "err");
            while (bytesWritten(pid) < after && running(pid))
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            ::kill(pid, SIGSTOP);
            siginfo_t info{};
            ::waitid(P_PID, static_cast<id_t>(pid), &info, WSTOPPED | WEXITED | WNOWAIT);
            if (info.si_code == CLD_STOPPED && bytesWritten(pid) < before) {
                ::kill(pid, signal);
                ::kill(pid, SIGCONT);
                for (int i = 1; i < times; ++i) {
                    // Signals do not queue: the next one only after this one has been handled.
                    while (catches(pid, signal) && running(pid))
                        std::this_thread::sleep_for(std::chrono::microseconds(50));
                    ::kill(pid, signal);
                }
                return waitFor(pid);
            }
            ::kill(pid, SIGKILL); // too late (or ended): again
            ::kill(pid, SIGCONT);
            waitFor(pid);
            fs::remove_all(dir / "out");
            fs::create_directory(dir / "out");
        }
        ADD_FAILURE() << "the signal never came between " << after << " and " << before << " bytes";
        return -1;
    }

    static constexpr std::size_t kLarge = 64 << 20;
    static constexpr int kAfter = 3000; // enough to be stopped among them
    t::TempDir dir;
    std::vector<std::string> m_texts;
    std::map<std::string, std::string> m_expected;
};

} // namespace

TEST_F(Stops, SignalsStopBeforeTheNextMessageAndKeepWholeFiles)
{
    writeMailbox(kLarge, kAfter);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        // In the middle of the large message: it is finished, and nothing after it.
        EXPECT_EQ(runAndSignal(signal, kLarge / 4, kLarge), 128 + signal);
        EXPECT_EQ(expectOnlyWholeMessages(), 21u);
        EXPECT_TRUE(fs::exists(dir / "out/Large.eml"));
        EXPECT_NE(t::readFile(dir / "err").find("interrupted"), std::string::npos);
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        // After it: the small messages that follow are whole too.
        const std::uint64_t all = fs::file_size(dir / "m.mbx");
        EXPECT_EQ(runAndSignal(signal, kLarge + 20000, kLarge + 20000 + (all - kLarge - 20000) / 2), 128 + signal);
        const std::size_t kept = expectOnlyWholeMessages();
        EXPECT_TRUE(kept > 21 && kept < m_texts.size()) << kept;
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
    }
}

TEST_F(Stops, ASecondSignalEndsAtOnceWithoutAHalfWrittenFile)
{
    // A message of 4 GiB, mostly a hole in a sparse mailbox: long enough to be still
    // being written when the second signal comes.
    for (int i = 0; i < 20; ++i)
        add("Before " + std::to_string(i), "x");
    std::string head = t::mailbox(m_texts);
    const std::string text = t::mail("Large", "");
    const std::uint64_t huge = std::uint64_t{4} << 30;
    head += t::record(text, 99);
    t::writeSparseFile(dir / "m.mbx", head.size() + huge, {{0, head}});
    EXPECT_EQ(runAndSignal(SIGTERM, 64 << 20, std::uint64_t{2} << 30, 2), kKilledBy + SIGTERM);
    EXPECT_EQ(expectOnlyWholeMessages(), 20u);
    EXPECT_FALSE(fs::exists(dir / "out/Large.eml"));
}

TEST_F(Stops, AFileSizeLimitIsAWriteErrorNotADeath)
{
    writeMailbox(2 << 20, 20);
    const pid_t pid = spawnCli({"-q", "-o", "out", "m.mbx"}, dir.path(), dir / "err", {-1, 1 << 20});
    EXPECT_EQ(waitFor(pid), 1);
    const std::string err = t::readFile(dir / "err");
    EXPECT_NE(err.find("Large.eml"), std::string::npos) << err;
    EXPECT_NE(err.find(std::make_error_code(std::errc::file_too_large).message()), std::string::npos) << err;
    EXPECT_EQ(expectOnlyWholeMessages(), 20u);
}

TEST_F(Stops, KilledAtAnyMomentLeavesOnlyWholeMessages)
{
    // A few large messages among small ones; the whole run timed, then killed at 50
    // random moments within it.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 60; ++i)
            add("Small " + std::to_string(round) + " " + std::to_string(i), "z");
        add("Large " + std::to_string(round), std::string(6 << 20, static_cast<char>('A' + round)));
    }
    t::writeFile(dir / "m.mbx", t::mailbox(m_texts));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(waitFor(spawnCli({"-q", "-o", "out", "m.mbx"}, dir.path(), dir / "err")), 0);
    const auto whole = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(expectOnlyWholeMessages(), m_texts.size());
    std::mt19937 random(12345);
    for (int i = 0; i < 50; ++i) {
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        const pid_t pid = spawnCli({"-q", "-o", "out", "m.mbx"}, dir.path(), dir / "err");
        std::this_thread::sleep_for(whole * std::uniform_real_distribution<double>(0, 1)(random));
        ::kill(pid, SIGKILL);
        waitFor(pid);
        expectOnlyWholeMessages();
    }
    // A run into a folder that a killed run left behind completes it, counting nothing twice.
    ASSERT_EQ(waitFor(spawnCli({"-q", "-o", "out", "m.mbx"}, dir.path(), dir / "err")), 0);
}

TEST(CliOutput, AClosedPipeOrAFullDiskOnStandardOutputFinishesTheBatchAndFails)
{
    t::TempDir dir;
    for (const char* name : {"a.mbx", "b.mbx", "c.mbx"})
        t::writeFile(dir / name, t::mailbox({t::mail(name)}));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]); // nobody reads: like "| true"
    pid_t pid = spawnCli({"-o", "piped", "a.mbx", "b.mbx", "c.mbx"}, dir.path(), dir / "err", {pipeFds[1]});
    ::close(pipeFds[1]);
    EXPECT_EQ(waitFor(pid), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "piped"), fs::directory_iterator()), 3);
    EXPECT_NE(t::readFile(dir / "err").find("cannot write to standard output"), std::string::npos);

    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    pid = spawnCli({"-o", "full", "a.mbx", "b.mbx", "c.mbx"}, dir.path(), dir / "err", {full});
    ::close(full);
    EXPECT_EQ(waitFor(pid), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "full"), fs::directory_iterator()), 3);
    EXPECT_NE(t::readFile(dir / "err").find(std::make_error_code(std::errc::no_space_on_device).message()),
              std::string::npos);
}
