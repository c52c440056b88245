#include "console.h"

#include <csignal>
#include <unistd.h>

namespace carrowin::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

} // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

void prepareStandardStreams() {}

void installInterruptHandler()
{
    struct sigaction sa{};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
}

bool interruptRequested()
{
    return g_interrupted != 0;
}

bool isRedrawableTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) != 0;
}

} // namespace carrowin::cli
