#pragma once
// What the platform allows in paths and file names.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

// How a file system measures the length of a file name.
enum class NameUnit {
    Utf8Bytes,  // POSIX file systems: bytes of the UTF-8 name
    Utf16Units, // Windows: UTF-16 code units of the name
};

struct FileNameLimit {
    std::size_t max = 255;
    NameUnit unit = NameUnit::Utf8Bytes;
};

// The limit of the platform's file systems: 255 in their own unit.
extern const FileNameLimit kFileNameLimit;

// The length of a UTF-8 name in the given unit.
std::size_t nameLength(std::string_view utf8Name, NameUnit unit);

// A printable description of the first character the platform refuses in a file name.
// Control characters (codes 0 to 31, and 127) are refused everywhere.
std::optional<std::string> firstRefusedFileNameCharacter(std::string_view utf8Name);

// "the control character U+000A" for a control character, else nothing.
std::optional<std::string> describeControlCharacter(char c);

// The form in which the file system compares names: the name itself where case
// matters, upper-cased where it does not (Windows). Two names with one key are one file.
std::string fileNameKey(std::string_view utf8Name);

// Windows refuses these as file names (CON, PRN, AUX, NUL, CONIN$, CONOUT$, CLOCK$,
// COM1-9, LPT1-9, and COM and LPT with a superscript 1, 2 or 3), in any case, with or
// without an extension. Every platform numbers them, so that a folder copied to Windows
// keeps every file.
bool isReservedDeviceName(std::string_view fileName);
// The part of a file name that Windows compares with its device names: up to the first
// ".", without the spaces that end it.
std::string_view deviceNamePart(std::string_view fileName);

} // namespace carrowin::extract
