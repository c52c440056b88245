#pragma once
// Whole archives: a folder of mailboxes, each split into a folder of its own.
#include <cstdint>
#include <functional>
#include <string>

namespace carrowin::cli {

// The folder a mailbox of a FOLDER argument is split into: its name without the ".mbx"
// (any case), numbered like a message name while `taken` says the name is taken.
std::string mailboxFolderName(const std::string& mailboxFileName, const std::function<bool(const std::string&)>& taken);

// 12345 as "12,345".
std::string withThousands(std::uint64_t n);

} // namespace carrowin::cli
