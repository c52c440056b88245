#pragma once
// The one error type of the engine: what failed, on which path, and the system's reason.
#include <exception>
#include <stdexcept>
#include <string>
#include <system_error>

namespace carrowin::extract {

enum class ErrorKind {
    Settings,       // refused before anything was written
    Mailbox,        // the mailbox cannot be opened, read, or is not a mailbox
    Output,         // an output file or folder cannot be created or written
    Connection,     // a server cannot be reached, its TLS fails, or the connection is lost
    Authentication, // a server refuses the credentials
    Server,         // a server refuses what is asked of it (a folder, a message, the quota)
};

class ExtractError : public std::runtime_error {
public:
    ExtractError(ErrorKind kind, std::string path, const std::string& message, std::error_code code = {})
        : std::runtime_error(message), m_kind(kind), m_path(std::move(path)), m_code(code)
    {
    }

    // "<action> "<path>": <the system's reason>", keeping the system's code.
    static ExtractError fromCode(ErrorKind kind, const std::string& action, const std::string& path,
                                 std::error_code code);

    ErrorKind kind() const noexcept { return m_kind; }
    const std::string& path() const noexcept { return m_path; }
    // The system's error behind the failure; empty when the engine itself refused.
    std::error_code code() const noexcept { return m_code; }

private:
    ErrorKind m_kind;
    std::string m_path;
    std::error_code m_code;
};

// Words for any failure that ends a run, for the front ends to show: the engine's own
// message, or what else went wrong (memory ran out, an unexpected error).
std::string describeFailure(std::exception_ptr failure);

} // namespace carrowin::extract
