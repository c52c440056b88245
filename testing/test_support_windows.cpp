#include "test_support.h"

#include <windows.h>
#include <winioctl.h>

#include <fcntl.h>
#include <io.h>

namespace carrowin::testing {
namespace {

// One argument quoted so that the program's command line parser gives it back unchanged.
std::wstring quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    for (auto it = arg.begin();; ++it) {
        std::size_t backslashes = 0;
        for (; it != arg.end() && *it == L'\\'; ++it)
            ++backslashes;
        if (it == arg.end()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        out.append(*it == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        out.push_back(*it);
    }
    out.push_back(L'"');
    return out;
}

HANDLE inheritableFile(const std::filesystem::path& path)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE inheritableInput(const std::filesystem::path& path)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, &sa, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE processOf(std::intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

} // namespace

void prepareTestProcess()
{
    // Test names are listed on standard output and read back line by line.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

// Windows has no limit of a process's file sizes.
FileSizeLimit::FileSizeLimit(std::uint64_t) {}

FileSizeLimit::~FileSizeLimit() = default;

void writeSparseFile(const std::filesystem::path& path, std::uint64_t size,
                     const std::vector<std::pair<std::uint64_t, std::string>>& pieces)
{
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateFileW");
    DWORD ignored = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr); // best effort
    for (const auto& [offset, bytes] : pieces) {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD written = 0;
        SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
}

std::string createHiddenFile(const std::filesystem::path& folder, const std::string& name)
{
    const auto path = folder / pathOf(name);
    writeFile(path, "");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return name;
}

std::filesystem::path programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size())
        path.resize(path.size() * 2);
    path.resize(n);
    return std::filesystem::path(path).parent_path();
}

void useStoreRoot(const std::filesystem::path&, const std::string& storeRoot)
{
    runProcess("reg.exe", {"add", "HKCU\\Software\\Microsoft\\Outlook Express", "/v", "Store Root", "/t", "REG_SZ",
                           "/d", storeRoot, "/f"},
               std::filesystem::current_path());
}

void useNoStore(const std::filesystem::path&)
{
    runProcess("reg.exe", {"delete", "HKCU\\Software\\Microsoft\\Outlook Express", "/f"},
               std::filesystem::current_path());
}

std::error_code missingFileCode()
{
    return {ERROR_FILE_NOT_FOUND, std::system_category()};
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                           const std::filesystem::path& cwd, const ChildSetup& setup)
{
    const std::filesystem::path& input = setup.input;
    std::wstring commandLine = quoted(program.wstring());
    for (const auto& a : args)
        commandLine += L" " + quoted(pathOf(a).wstring());
    const HANDLE out = inheritableFile(m_logs / "out");
    const HANDLE err = inheritableFile(m_logs / "err");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = out;
    si.hStdError = err;
    const HANDLE in = input.empty() ? nullptr : inheritableInput(input);
    si.hStdInput = in;
    PROCESS_INFORMATION pi{};
    const wchar_t* application = program.has_parent_path() ? program.c_str() : nullptr;
    const BOOL started = CreateProcessW(application, commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT, nullptr, cwd.c_str(), &si, &pi);
    const DWORD error = GetLastError();
    CloseHandle(out);
    CloseHandle(err);
    if (in != nullptr)
        CloseHandle(in);
    if (!started)
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateProcessW");
    CloseHandle(pi.hThread);
    m_handle = reinterpret_cast<std::intptr_t>(pi.hProcess);
    m_id = pi.dwProcessId;
}

ChildProcess::~ChildProcess()
{
    if (m_handle != -1) {
        TerminateProcess(processOf(m_handle), 1);
        WaitForSingleObject(processOf(m_handle), INFINITE);
        CloseHandle(processOf(m_handle));
    }
}

bool ChildProcess::running() const
{
    return m_handle != -1 && WaitForSingleObject(processOf(m_handle), 0) == WAIT_TIMEOUT;
}

void ChildProcess::interrupt()
{
    // Ctrl+C goes to every process of a console: join the child's, ignoring it here.
    FreeConsole();
    if (AttachConsole(m_id)) {
        SetConsoleCtrlHandler(nullptr, TRUE);
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        FreeConsole();
    }
}

Outcome ChildProcess::wait()
{
    const HANDLE h = processOf(m_handle);
    WaitForSingleObject(h, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(h, &code);
    CloseHandle(h);
    m_handle = -1;
    return {static_cast<int>(code), 0, readFile(m_logs / "out"), readFile(m_logs / "err")};
}

} // namespace carrowin::testing
