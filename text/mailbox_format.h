#pragma once
// The fixed strings of the mailbox format and of the mail in it: the record marker and
// header, the file's signature, and the header labels that naming looks for.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace carrowin::text {

// A record opens with the marker 00 7F 00 7F; its first 16 bytes are its header and the
// rest, up to the next marker (or the end of the mailbox), is the message.
inline constexpr std::string_view kRecordMarker{"\x00\x7F\x00\x7F", 4};
inline constexpr std::uint64_t kRecordHeaderSize = 16;
inline constexpr std::string_view kFileSignature{"JMF6"};

// Where the first marker lying wholly inside `bytes` starts, at index `from` or later.
std::optional<std::size_t> findRecordMarker(std::string_view bytes, std::size_t from);

// A message is a news article when this starts within its first 2047 bytes.
inline constexpr std::string_view kNewsgroupsLabel{"Newsgroups: "};
inline constexpr std::size_t kNewsgroupsWindow = 2047;
// The Subject line that names a message follows the first occurrence of this.
inline constexpr std::string_view kSubjectLabel{"Subject: "};

} // namespace carrowin::text
