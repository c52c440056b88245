#include "record_scan.h"

#include <cstring>

namespace carrowin::extract {

std::optional<std::uint64_t> findMarker(std::string_view image, std::uint64_t from)
{
    // 7F is rare in mail text while 00 fills padding, so look for the 7F of the marker.
    const char* const base = image.data();
    const std::uint64_t size = image.size();
    std::uint64_t i = from + 1;
    while (i + 2 < size) {
        const void* hit = std::memchr(base + i, 0x7F, size - 2 - i);
        if (hit == nullptr)
            return std::nullopt;
        i = static_cast<std::uint64_t>(static_cast<const char*>(hit) - base);
        if (base[i - 1] == 0 && base[i + 1] == 0 && base[i + 2] == 0x7F)
            return i - 1;
        ++i;
    }
    return std::nullopt;
}

std::optional<RecordBounds> nextRecord(std::string_view image, std::uint64_t from)
{
    const auto marker = findMarker(image, from);
    if (!marker)
        return std::nullopt;
    const std::uint64_t size = image.size();
    RecordBounds r;
    r.marker = *marker;
    r.bodyBegin = std::min<std::uint64_t>(*marker + kRecordHeaderSize, size);
    r.bodyEnd = findMarker(image, r.bodyBegin).value_or(size);
    return r;
}

bool looksLikeMailbox(std::string_view image)
{
    return image.starts_with(kFileSignature) || findMarker(image, 0).has_value();
}

} // namespace carrowin::extract
