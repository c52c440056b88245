#include "console.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace carrowin::cli {

const bool kWindows = false;
namespace {

volatile std::sig_atomic_t g_signal = 0; // the first stop signal received

void onStop(int signal)
{
    if (g_signal == 0)
        g_signal = signal;
}

// The terminal while a secret is typed on it: its settings, put back by a signal too.
int g_terminal = -1;
termios g_echoing{};

void restoreEcho(int signal)
{
    ::tcsetattr(g_terminal, TCSAFLUSH, &g_echoing);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

void prepareStandardStreams() {}

void installStopHandlers()
{
    struct sigaction sa{};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART | SA_RESETHAND; // a second signal takes its default course
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool asksForHelp(const std::string& argument)
{
    return argument == "-?";
}

const char* interruptionStatusHelp()
{
    return "  130  interrupted by Ctrl+C (143 by SIGTERM, 129 by SIGHUP) after the message\n"
           "       being written; the files written so far are kept\n";
}

bool interruptRequested()
{
    return g_signal != 0;
}

int interruptionStatus()
{
    return 128 + (g_signal != 0 ? g_signal : SIGINT);
}

std::optional<long long> readStandardInput(char* buffer, std::size_t n)
{
    pollfd in{.fd = STDIN_FILENO, .events = POLLIN, .revents = 0};
    const int ready = ::poll(&in, 1, 100);
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return std::nullopt;
    const ssize_t got = ::read(STDIN_FILENO, buffer, n);
    if (got < 0 && errno == EINTR)
        return std::nullopt; // a signal: the run sees it at its next message
    return got;
}

bool isTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) != 0;
}

bool enableRedraw(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) != 0;
}

int terminalColumns(std::FILE* stream)
{
    winsize size{};
    return ::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

std::optional<std::string> environmentVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

std::optional<std::string> readSecretLine(const std::string& prompt)
{
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    termios quiet{};
    if (::tcgetattr(fd, &g_echoing) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    g_terminal = fd;
    struct sigaction restore{}, before[3]{};
    restore.sa_handler = restoreEcho;
    sigemptyset(&restore.sa_mask);
    const int signals[3]{SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 3; ++i)
        sigaction(signals[i], &restore, &before[i]);
    quiet = g_echoing;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    (void)!::write(fd, prompt.data(), prompt.size());
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    ::tcsetattr(fd, TCSAFLUSH, &g_echoing);
    for (int i = 0; i < 3; ++i)
        sigaction(signals[i], &before[i], nullptr);
    ::close(fd);
    g_terminal = -1;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::FILE* startCommand(const std::string& command, std::string& why)
{
    std::FILE* const out = ::popen(command.c_str(), "r");
    if (!out) {
        why = std::strerror(errno);
        return nullptr;
    }
    return out;
}

bool commandSucceeded(std::FILE* output, std::string& why)
{
    const int status = ::pclose(output);
    if (status != 0) {
        why = WIFEXITED(status) ? "it ended with status " + std::to_string(WEXITSTATUS(status))
                                : std::string("it was ended by a signal");
        return false;
    }
    return true;
}

} // namespace carrowin::cli
