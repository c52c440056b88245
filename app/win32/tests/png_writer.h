#pragma once
// Writes an RGB picture as a PNG file (uncompressed), for the tests' screenshots.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace carrowin::testing {

// `rgb` holds height rows of width pixels, three bytes each, top row first.
bool writePng(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& rgb);

} // namespace carrowin::testing
