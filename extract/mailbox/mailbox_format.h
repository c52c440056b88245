#pragma once
// The OE4 mailbox format as this program reads it: the file's signature, the record
// marker and the size of a record's header.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace carrowin::extract {

// A record opens with the marker 00 7F 00 7F; its first 16 bytes are its header and the
// rest, up to the next marker (or the end of the mailbox), is the message.
inline constexpr std::string_view kRecordMarker{"\x00\x7F\x00\x7F", 4};
inline constexpr std::uint64_t kRecordHeaderSize = 16;
inline constexpr std::string_view kFileSignature{"JMF6"};

// The size of the message's text that a record's header gives (its last four bytes, a
// number in little-endian order); none for a header cut short by the mailbox's end. The
// rest of the record after the text is padding, zeros, where the header is sound.
std::optional<std::uint64_t> recordTextSize(std::string_view header);

// Where the first marker lying wholly inside `bytes` starts, at index `from` or later.
std::optional<std::size_t> findRecordMarker(std::string_view bytes, std::size_t from);

} // namespace carrowin::extract
