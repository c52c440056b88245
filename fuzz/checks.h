#pragma once
// What must hold for any input, checked by the fuzz targets and, for every input they
// have found, by the tests. Each returns what was broken, or nothing.
#include <string>
#include <string_view>

namespace carrowin::fuzz {

// The input: a first line (up to 64 bytes) holds a flag byte and a prefix; the rest is a
// mailbox image. Every record is cut and named in both modes into a folder that may hold
// numbered names already; read in pieces (of a size the last byte gives), the image must
// give the same records and names.
std::string checkRecordNaming(std::string_view input);

// The input is a Wine registry file.
std::string checkRegistryReader(std::string_view input);

// The input is what an IMAP server sends: responses one after another, each cut where
// its length says and read; and, as a quoted string and as a literal, bytes that must
// read back as themselves.
std::string checkImapResponses(std::string_view input);

// What a fuzz target does with a check's answer: a broken invariant is said, and ends
// the program so that libFuzzer keeps the input.
int abortIfBroken(const std::string& why);

} // namespace carrowin::fuzz
