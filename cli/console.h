#pragma once
// What carrowin-cli needs from the platform's console and process.
#include <cstdio>
#include <string>
#include <vector>

namespace carrowin::cli {

// The program's arguments as UTF-8, whatever the system's code page.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Standard output and error pass bytes unchanged (no line-end translation); a console
// shows them as UTF-8.
void prepareStandardStreams();

// From here on, Ctrl+C (and Ctrl+Break on Windows) only sets the flag that
// interruptRequested() reads; the run then stops before its next message.
void installInterruptHandler();
bool interruptRequested();

// Whether `stream` is an interactive terminal on which a line can be redrawn in place.
bool isRedrawableTerminal(std::FILE* stream);

} // namespace carrowin::cli
