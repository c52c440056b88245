#include "record_scan.h"

#include <algorithm>

namespace carrowin::extract {

std::optional<std::uint64_t> findMarker(std::string_view image, std::uint64_t from)
{
    return findRecordMarker(image, static_cast<std::size_t>(from));
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

} // namespace carrowin::extract
