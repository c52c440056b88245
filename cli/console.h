#pragma once
// What carrowin-cli needs from the platform's console and process.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace carrowin::cli {

// Whether this is the Windows build.
extern const bool kWindows;

// The program's arguments as UTF-8, whatever the system's code page.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Standard input, output and error pass bytes unchanged (no line-end translation); a console
// shows them as UTF-8.
void prepareStandardStreams();

// Whether an argument asks for the help as the platform's programs take it ("-?"; on
// Windows "/?" too).
bool asksForHelp(const std::string& argument);
// The --help lines on the statuses of an interruption, as the platform's signals give them.
const char* interruptionStatusHelp();

// From here on, Ctrl+C (and Ctrl+Break on Windows; SIGTERM and SIGHUP on POSIX) only
// sets the flag that interruptRequested() reads: the run stops before its next message.
// A second one ends the program at once, which leaves no message file half written.
// On POSIX a closed pipe and a file size limit no longer end the program either: the
// write fails, and is reported, like any other.
void installStopHandlers();
bool interruptRequested();
// The exit status for the interruption: 128 and the signal's number (130 for Ctrl+C).
int interruptionStatus();

// Reads up to `n` bytes of standard input, as many as have come (at least one unless at
// its end); -1 with errno set when it fails; nothing when none came within a tenth of a
// second.
std::optional<long long> readStandardInput(char* buffer, std::size_t n);

// Whether `stream` is a terminal (a console on Windows) rather than a file or a pipe.
bool isTerminal(std::FILE* stream);

// Makes ready the terminal of `stream` for a line redrawn in place (a Windows console
// is asked to read escape sequences); false when it is no terminal and cannot be.
bool enableRedraw(std::FILE* stream);

// How many columns the terminal of `stream` has now; 80 when it cannot tell.
int terminalColumns(std::FILE* stream);

// An environment variable's value, as UTF-8; none when it is not set.
std::optional<std::string> environmentVariable(const char* name);

// A line typed on the terminal, after `prompt` there, without its echo: the terminal's
// own, never standard input (which may carry a mailbox). None when the program has no
// terminal. Interrupted, the terminal gets its echo back.
std::optional<std::string> readSecretLine(const std::string& prompt);

// `command` run by the system's shell, its standard output to be read from what this
// returns (its standard error goes to the program's); null, with `why` set, when it
// cannot be run.
std::FILE* startCommand(const std::string& command, std::string& why);

// Waits for a command of startCommand to end: false, with `why` set, when it failed.
bool commandSucceeded(std::FILE* output, std::string& why);

} // namespace carrowin::cli
