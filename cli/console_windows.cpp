#include "console.h"

#include "windows_text.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace carrowin::cli {

const bool kWindows = true;
namespace {

std::atomic<bool> g_interrupted{false};

// Runs on a thread of its own that the system starts for the event. The second Ctrl+C
// takes the default course and ends the program.
BOOL WINAPI onConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    return g_interrupted.exchange(true) ? FALSE : TRUE;
}

HANDLE handleOf(std::FILE* stream)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

bool isConsole(HANDLE h)
{
    DWORD mode = 0;
    return GetConsoleMode(h, &mode) != 0;
}

} // namespace

std::vector<std::string> utf8Arguments(int, char**)
{
    // The narrow argv is in the ANSI code page, which cannot hold every name.
    int argc = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; wide != nullptr && i < argc; ++i)
        args.push_back(text::utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

void prepareStandardStreams()
{
    _setmode(_fileno(stdin), _O_BINARY); // a mailbox may come on standard input
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (isConsole(handleOf(stdout)) || isConsole(handleOf(stderr)))
        SetConsoleOutputCP(CP_UTF8);
}

void installStopHandlers()
{
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

bool asksForHelp(const std::string& argument)
{
    return argument == "-?" || argument == "/?";
}

const char* interruptionStatusHelp()
{
    return "  130  interrupted by Ctrl+C or Ctrl+Break after the message being written;\n"
           "       the files written so far are kept\n";
}

bool interruptRequested()
{
    return g_interrupted;
}

int interruptionStatus()
{
    return 130;
}

std::optional<long long> readStandardInput(char* buffer, std::size_t n)
{
    // A pipe is waited on for a tenth of a second at most; a file never keeps a read waiting.
    const HANDLE in = handleOf(stdin);
    if (GetFileType(in) == FILE_TYPE_PIPE) {
        DWORD waiting = 0;
        for (int i = 0; i < 10 && PeekNamedPipe(in, nullptr, 0, nullptr, &waiting, nullptr) && waiting == 0; ++i)
            Sleep(10);
        if (PeekNamedPipe(in, nullptr, 0, nullptr, &waiting, nullptr) && waiting == 0)
            return std::nullopt;
        if (waiting > 0)
            n = std::min<std::size_t>(n, waiting); // what has come, without waiting for more
    }
    return _read(_fileno(stdin), buffer, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}

bool isTerminal(std::FILE* stream)
{
    DWORD mode = 0;
    return GetConsoleMode(handleOf(stream), &mode) != 0;
}

bool enableRedraw(std::FILE* stream)
{
    const HANDLE h = handleOf(stream);
    DWORD mode = 0;
    return GetConsoleMode(h, &mode) != 0 && SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int terminalColumns(std::FILE* stream)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(handleOf(stream), &info))
        return 80;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::optional<std::string> environmentVariable(const char* name)
{
    const wchar_t* value = _wgetenv(text::wideFromUtf8(name).c_str());
    return value ? std::optional<std::string>(text::utf8FromWide(value)) : std::nullopt;
}

std::optional<std::string> readSecretLine(const std::string& prompt)
{
    const HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    const HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    std::optional<std::string> line;
    if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode)) {
        const std::wstring shown = text::wideFromUtf8(prompt);
        DWORD n = 0;
        WriteConsoleW(out, shown.data(), static_cast<DWORD>(shown.size()), &n, nullptr);
        SetConsoleMode(in, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        std::wstring typed;
        wchar_t c = 0;
        while (ReadConsoleW(in, &c, 1, &n, nullptr) && n == 1 && c != L'\n')
            if (c != L'\r')
                typed += c;
        SetConsoleMode(in, mode);
        WriteConsoleW(out, L"\r\n", 2, &n, nullptr);
        line = text::utf8FromWide(typed);
    }
    if (in != INVALID_HANDLE_VALUE)
        CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    return line;
}

std::FILE* startCommand(const std::string& command, std::string& why)
{
    std::FILE* const out = _wpopen(text::wideFromUtf8(command).c_str(), L"rb");
    if (!out) {
        why = "it cannot be run";
        return nullptr;
    }
    return out;
}

bool commandSucceeded(std::FILE* output, std::string& why)
{
    const int status = _pclose(output);
    if (status != 0) {
        why = "it ended with status " + std::to_string(status);
        return false;
    }
    return true;
}

} // namespace carrowin::cli
