// carrowin-cli against what only POSIX systems do to a program: signals, a killed
// process, a file size limit, a closed pipe, a full disk.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

const fs::path kCli = t::programFolder() / CARROWIN_CLI_PATH;

// Starts carrowin-cli in `cwd`.
std::unique_ptr<t::ChildProcess> startCli(const std::vector<std::string>& args, const fs::path& cwd,
                                          const t::ChildSetup& setup = {})
{
    return std::make_unique<t::ChildProcess>(kCli, args, cwd, setup);
}

// Whether the process still catches the signal (a handler that resets itself has run).
bool catches(std::uint32_t pid, int signal)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// How many bytes the process has written so far.
std::uint64_t bytesWritten(std::uint32_t pid)
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
    t::Outcome runAndSignal(int signal, std::uint64_t after, std::uint64_t before, int times = 1)
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            auto cli = startCli({"-q", "-o", "out", "m.mbx"}, dir.path());
            const auto pid = static_cast<pid_t>(cli->id());
            while (bytesWritten(cli->id()) < after && cli->running())
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            ::kill(pid, SIGSTOP);
            siginfo_t info{};
            ::waitid(P_PID, static_cast<id_t>(pid), &info, WSTOPPED | WEXITED | WNOWAIT);
            if (info.si_code == CLD_STOPPED && bytesWritten(cli->id()) < before) {
                ::kill(pid, signal);
                ::kill(pid, SIGCONT);
                for (int i = 1; i < times; ++i) {
                    // Signals do not queue: the next one only after this one has been handled.
                    while (catches(cli->id(), signal) && cli->running())
                        std::this_thread::sleep_for(std::chrono::microseconds(50));
                    ::kill(pid, signal);
                }
                return cli->wait();
            }
            cli.reset(); // too late (or ended): killed, and again
            fs::remove_all(dir / "out");
            fs::create_directory(dir / "out");
        }
        ADD_FAILURE() << "the signal never came between " << after << " and " << before << " bytes";
        return {};
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
        const t::Outcome inLarge = runAndSignal(signal, kLarge / 4, kLarge);
        EXPECT_EQ(inLarge.status, 128 + signal);
        EXPECT_EQ(inLarge.signal, 0) << "it exits, it is not killed";
        EXPECT_EQ(expectOnlyWholeMessages(), 21u);
        EXPECT_TRUE(fs::exists(dir / "out/Large.eml"));
        EXPECT_NE(inLarge.err.find("interrupted"), std::string::npos);
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        // After it: the small messages that follow are whole too.
        const std::uint64_t all = fs::file_size(dir / "m.mbx");
        const t::Outcome after = runAndSignal(signal, kLarge + 20000, kLarge + 20000 + (all - kLarge - 20000) / 2);
        EXPECT_EQ(after.status, 128 + signal);
        EXPECT_EQ(after.signal, 0);
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
    EXPECT_EQ(runAndSignal(SIGTERM, 64 << 20, std::uint64_t{2} << 30, 2).signal, SIGTERM);
    EXPECT_EQ(expectOnlyWholeMessages(), 20u);
    EXPECT_FALSE(fs::exists(dir / "out/Large.eml"));
}

TEST_F(Stops, AFileSizeLimitIsAWriteErrorNotADeath)
{
    writeMailbox(2 << 20, 20);
    const t::Outcome r = startCli({"-q", "-o", "out", "m.mbx"}, dir.path(), {.fileSizeLimit = 1 << 20})->wait();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.signal, 0);
    const std::string& err = r.err;
    EXPECT_NE(err.find("Large.eml"), std::string::npos) << err;
    EXPECT_NE(err.find(std::make_error_code(std::errc::file_too_large).message()), std::string::npos) << err;
    EXPECT_EQ(expectOnlyWholeMessages(), 20u);
    // The count of what is there, whatever the progress line showed last.
    EXPECT_EQ(r.out, "m.mbx: 20 messages written to out before the error\n");
}

TEST_F(Stops, ASignalStopsARunThatWaitsOnAQuietPipe)
{
    // Two messages and the start of a third come, then nothing: the run waits for more.
    for (const char* subject : {"one", "two", "three"})
        add(subject, "text");
    const std::string image = t::mailbox(m_texts);
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto cli = startCli({"-q", "-o", "out", "-"}, dir.path(), {.input = fifo});
    const int writer = ::open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    const std::size_t sent = image.size() - 10;
    ASSERT_EQ(::write(writer, image.data(), sent), static_cast<ssize_t>(sent));
    const auto waitFor = [&](const auto& done) {
        for (int i = 0; i < 3000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    waitFor([&] { return expectOnlyWholeMessages() == 2; });
    ::kill(static_cast<pid_t>(cli->id()), SIGTERM);
    waitFor([&] { return !cli->running(); });
    const bool stopped = !cli->running();
    ::close(writer); // should it still wait, the end of its input
    const t::Outcome r = cli->wait();
    EXPECT_TRUE(stopped) << "still waiting for the pipe 3 s after the signal";
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.err;
    EXPECT_EQ(expectOnlyWholeMessages(), 2u) << "the message cut short is not written";
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
    ASSERT_EQ(startCli({"-q", "-o", "out", "m.mbx"}, dir.path())->wait().status, 0);
    const auto whole = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(expectOnlyWholeMessages(), m_texts.size());
    std::mt19937 random(12345);
    for (int i = 0; i < 50; ++i) {
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        const auto cli = startCli({"-q", "-o", "out", "m.mbx"}, dir.path());
        std::this_thread::sleep_for(whole * std::uniform_real_distribution<double>(0, 1)(random));
        ::kill(static_cast<pid_t>(cli->id()), SIGKILL);
        cli->wait();
        expectOnlyWholeMessages();
    }
    // A run into a folder that a killed run left behind completes it, counting nothing twice.
    ASSERT_EQ(startCli({"-q", "-o", "out", "m.mbx"}, dir.path())->wait().status, 0);
}

TEST(CliOutput, AClosedPipeOrAFullDiskOnStandardOutputFinishesTheBatchAndFails)
{
    t::TempDir dir;
    for (const char* name : {"a.mbx", "b.mbx", "c.mbx"})
        t::writeFile(dir / name, t::mailbox({t::mail(name)}));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]); // nobody reads: like "| true"
    auto cli = startCli({"-o", "piped", "a.mbx", "b.mbx", "c.mbx"}, dir.path(), {.outputFd = pipeFds[1]});
    ::close(pipeFds[1]);
    t::Outcome r = cli->wait();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "piped"), fs::directory_iterator()), 3);
    EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos);

    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    cli = startCli({"-o", "full", "a.mbx", "b.mbx", "c.mbx"}, dir.path(), {.outputFd = full});
    ::close(full);
    r = cli->wait();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "full"), fs::directory_iterator()), 3);
    EXPECT_NE(r.err.find(std::make_error_code(std::errc::no_space_on_device).message()), std::string::npos);
}

TEST(CliInput, StandardInputIsWrittenOutAsItComes)
{
    t::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const std::string first = t::record(t::mail("First"), 1);
    const std::string second = t::record(t::mail("Second"), 2);
    auto cli = startCli({"-q", "-o", "out", "-"}, dir.path(), {.input = dir / "pipe"});
    const int in = ::open((dir / "pipe").c_str(), O_WRONLY);
    ASSERT_GE(in, 0);
    // The first message and the start of the second: the first is complete, and is named
    // while the pipe stays open (a minute at most, far beyond what it takes).
    const std::string head = t::mailboxHeader() + first + second.substr(0, 20);
    ASSERT_EQ(::write(in, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!fs::exists(dir / "out/First.eml") && cli->running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(dir / "out/First.eml")) << "nothing written before the end of the input";
    ASSERT_EQ(::write(in, second.data() + 20, second.size() - 20), static_cast<ssize_t>(second.size() - 20));
    ::close(in);
    const t::Outcome r = cli->wait();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(t::readFile(dir / "out/Second.eml"), t::mail("Second"));
}

TEST(CliWords, AFolderThatCannotBeListedOrAnOutputThatIsADanglingLinkSaysWhy)
{
    t::TempDir dir;
    fs::create_directory(dir / "noread");
    t::writeFile(dir / "noread/a.mbx", t::mailbox({t::mail("a")}));
    fs::permissions(dir / "noread", fs::perms::owner_write | fs::perms::owner_exec);
    if (::geteuid() != 0) { // permissions do not stop root
        const t::Outcome r = t::runProcess(kCli, {"-o", "out", "noread"}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(std::make_error_code(std::errc::permission_denied).message()), std::string::npos) << r.err;
    }
    fs::permissions(dir / "noread", fs::perms::owner_all);
    fs::create_symlink("nowhere", dir / "out");
    const t::Outcome r = t::runProcess(kCli, {"-o", "out", "noread/a.mbx"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("link to nothing"), std::string::npos) << r.err;
}

namespace {

// Whether the file holds `head`, then `zeros` zero bytes, then `tail`: read in pieces.
bool holdsPattern(const fs::path& path, const std::string& head, std::uint64_t zeros, const std::string& tail)
{
    std::ifstream in(path, std::ios::binary);
    std::string piece(head.size(), '\0');
    if (!in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || piece != head)
        return false;
    const std::vector<char> none(1 << 20, '\0');
    std::vector<char> buffer(none.size());
    for (std::uint64_t left = zeros; left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        if (!in.read(buffer.data(), static_cast<std::streamsize>(n)) || std::memcmp(buffer.data(), none.data(), n) != 0)
            return false;
        left -= n;
    }
    piece.assign(tail.size() + 1, '\0');
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    return in.gcount() == static_cast<std::streamsize>(tail.size()) && piece.substr(0, tail.size()) == tail;
}

} // namespace

TEST(CliFormats, AMaildirTreeNeverMergesTwoMailboxesAndFindsEachAgain)
{
    t::TempDir dir;
    fs::create_directories(dir / "store");
    std::string zhe;
    for (int i = 0; i < 100; ++i)
        zhe += "\xD0\x96"; // Ж: 100 of them are too long a Maildir++ name in modified UTF-7
    const std::vector<std::string> names{"Inbox", "INBOX", "Sent", "Sent?", "Sent*", "Sent ", "~Sent",
                                         "Gel\xF6scht", "Gel\xC3\xB6scht", zhe};
    for (std::size_t i = 0; i < names.size(); ++i)
        t::writeFile(dir / "store" / (names[i] + ".mbx"), t::mailbox({t::mail("message " + std::to_string(i))}));
    t::Outcome r = t::runProcess(kCli, {"-q", "--format", "maildir", "-o", "mail", "store"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    // Each mailbox in a folder of its own, named in its line: the top, or a subfolder.
    std::set<std::string> folders;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t to = line.find(" written to ");
        if (line.empty() || line.find(" mailboxes, ") != std::string::npos)
            continue;
        ASSERT_NE(to, std::string::npos) << line;
        const std::string folder = line.substr(to + 12);
        EXPECT_TRUE(folders.insert(folder).second) << "two mailboxes in " << folder;
        EXPECT_EQ(t::entriesOf(dir / folder / "cur").size(), 1u) << folder;
    }
    EXPECT_EQ(folders.size(), names.size());
    for (const char* folder : {"mail/.\\7eSent", "mail/.Sent(1)", "mail/.Gel&APY-scht(1)"})
        EXPECT_TRUE(folders.contains(folder)) << folder << " in\n" << r.out;
    EXPECT_TRUE(folders.contains("mail/.INBOX(1)") || folders.contains("mail/.Inbox(1)")) << r.out;
    for (const std::string& folder : folders)
        EXPECT_LE(fs::path(folder).filename().string().size(), 255u);
    // Again, adding only what is new: every mailbox finds its folder, and all is there.
    r = t::runProcess(kCli, {"-q", "--format", "maildir", "--skip-existing", "-o", "mail", "store"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(std::to_string(names.size()) + " mailboxes, 0 messages written to mail; "
                         + std::to_string(names.size()) + " already there"), std::string::npos) << r.out;
}

TEST(CliFormats, AMessageOfTwoGibibytesComesOutWholeInBothFormats)
{
    // Mostly a hole in a sparse mailbox: From lines at its start and its end.
    t::TempDir dir;
    const std::string head = "From: big@example.com\nSubject: big\n\nFrom the start\n";
    const std::string tail = "\nFrom the end\n>From quoted\n";
    const std::uint64_t zeros = std::uint64_t{2} << 30;
    const std::uint64_t size = head.size() + zeros + tail.size();
    const std::string start = t::mailboxHeader() + t::recordHeader(1, size, 0) + head;
    t::writeSparseFile(dir / "big.mbx", start.size() + zeros + tail.size(), {{0, start}, {start.size() + zeros, tail}});

    t::Outcome r = t::runProcess(kCli, {"-q", "--format", "maildir", "-o", "md", "big.mbx"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> files = t::entriesOf(dir / "md/cur");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(holdsPattern(dir / "md/cur" / files[0], head, zeros, tail));
    fs::remove_all(dir / "md");

    r = t::runProcess(kCli, {"-q", "--format", "mbox", "-o", "mb", "big.mbx"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(holdsPattern(dir / "mb/big.mbox",
                             "From big@example.com Thu Jan  1 00:00:00 1970\n"
                             "From: big@example.com\nSubject: big\n\n>From the start\n",
                             zeros, "\n>From the end\n>>From quoted\n\n"));
}
