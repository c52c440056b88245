#include "console.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/ioctl.h>
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

} // namespace carrowin::cli
