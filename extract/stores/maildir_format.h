#pragma once
// The pieces of a Maildir that touch no disk: the names of its message files and of the
// folders of a Maildir++ tree.
#include <cstdint>
#include <string>
#include <string_view>

namespace carrowin::extract {

// The name a mailbox gets as a Maildir++ subfolder: "." + its name and then `number`
// ("(1)"), in IMAP's modified UTF-7 (RFC 3501) as Maildir++ readers expect, with "." (the
// hierarchy's separator) and "\" written as "\2e" and "\5c", and a "~" that begins it
// as "\7e" (which servers will not open otherwise): the escapes a server's listescape
// reads back, so that "Archive.2003" stays one folder. Control characters and "/" become
// spaces. The name is cut short, by whole characters, so that the folder's name fits in
// 255 bytes with its number.
std::string maildirFolderName(std::string_view mailboxName, std::string_view number = "");

// A Maildir file name that no other delivery gives: "<seconds>.M<microseconds>P<pid>Q<n>."
// + the host's name, with "/" and ":" written as "\057" and "\072".
std::string maildirUniqueName(std::int64_t seconds, std::uint32_t microseconds, std::uint32_t pid, std::uint64_t n,
                              std::string_view host);

// The info that a message file in a Maildir's cur/ ends in: seen ("S").
inline constexpr std::string_view kMaildirSeen{":2,S"};

} // namespace carrowin::extract
