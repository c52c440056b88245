#include "cp1252.h"

#include "utf8.h"

#include <algorithm>
#include <array>

namespace carrowin::text {
namespace {

constexpr std::array<char16_t, 32> kUpperControlRow = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

char32_t codePointOfCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kUpperControlRow[byte - 0x80];
    return byte;
}

std::string utf8FromCp1252(std::string_view bytes)
{
    // Every byte's UTF-8 form, worked out once: up to three bytes and their count.
    static const auto kForms = [] {
        std::array<std::array<char, 4>, 256> forms{};
        for (int b = 0; b < 256; ++b) {
            std::string one;
            appendUtf8(one, codePointOfCp1252(static_cast<unsigned char>(b)));
            std::copy(one.begin(), one.end(), forms[b].begin());
            forms[b][3] = static_cast<char>(one.size());
        }
        return forms;
    }();
    std::string out(bytes.size() * 3, '\0');
    std::size_t n = 0;
    for (char c : bytes) {
        const auto& form = kForms[static_cast<unsigned char>(c)];
        for (int k = 0; k < form[3]; ++k)
            out[n++] = form[k];
    }
    out.resize(n);
    return out;
}

} // namespace carrowin::text
