#include "mailbox_format.h"

#include <cstring>

namespace carrowin::extract {

std::optional<std::size_t> findRecordMarker(std::string_view bytes, std::size_t from)
{
    // 7F is rare in mail text while 00 fills padding: look for the marker's first 7F.
    for (std::size_t i = from + 1; i + 2 < bytes.size(); ++i) {
        const void* hit = std::memchr(bytes.data() + i, 0x7F, bytes.size() - 2 - i);
        if (hit == nullptr)
            return std::nullopt;
        i = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
        if (bytes[i - 1] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 0x7F)
            return i - 1;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> recordTextSize(std::string_view header)
{
    if (header.size() < kRecordHeaderSize)
        return std::nullopt;
    std::uint64_t size = 0;
    for (std::size_t i = kRecordHeaderSize; i > kRecordHeaderSize - 4; --i)
        size = size << 8 | static_cast<unsigned char>(header[i - 1]);
    return size;
}

} // namespace carrowin::extract
