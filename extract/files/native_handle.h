#pragma once
// What the system calls a file or folder held open.
#include <cstdint>

namespace carrowin::extract {

// A file descriptor on POSIX, a HANDLE on Windows; kNoHandle for none.
using NativeHandle = std::intptr_t;
inline constexpr NativeHandle kNoHandle = -1;

} // namespace carrowin::extract
