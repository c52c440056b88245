// Character sets through the code pages Windows knows.
#include "charset.h"

#include "ascii.h"
#include "windows_text.h"

#include <array>
#include <windows.h>

namespace carrowin::extract {
namespace {

struct CodePage {
    std::string_view name;
    UINT page;
};

// MIME names (lower case) and the code pages that read them.
constexpr std::array kCodePages{
    CodePage{"utf-8", 65001},        CodePage{"utf8", 65001},          CodePage{"us-ascii", 20127},
    CodePage{"ascii", 20127},        CodePage{"iso-8859-1", 28591},    CodePage{"iso-8859-2", 28592},
    CodePage{"iso-8859-3", 28593},   CodePage{"iso-8859-4", 28594},    CodePage{"iso-8859-5", 28595},
    CodePage{"iso-8859-6", 28596},   CodePage{"iso-8859-7", 28597},    CodePage{"iso-8859-8", 28598},
    CodePage{"iso-8859-8-i", 38598}, CodePage{"iso-8859-9", 28599},    CodePage{"iso-8859-13", 28603},
    CodePage{"iso-8859-15", 28605},  CodePage{"latin1", 28591},        CodePage{"windows-1250", 1250},
    CodePage{"windows-1251", 1251},  CodePage{"windows-1252", 1252},   CodePage{"windows-1253", 1253},
    CodePage{"windows-1254", 1254},  CodePage{"windows-1255", 1255},   CodePage{"windows-1256", 1256},
    CodePage{"windows-1257", 1257},  CodePage{"windows-1258", 1258},   CodePage{"cp1250", 1250},
    CodePage{"cp1251", 1251},        CodePage{"cp1252", 1252},         CodePage{"windows-874", 874},
    CodePage{"tis-620", 874},        CodePage{"koi8-r", 20866},        CodePage{"koi8-u", 21866},
    CodePage{"ibm437", 437},         CodePage{"cp437", 437},           CodePage{"ibm850", 850},
    CodePage{"cp850", 850},          CodePage{"ibm866", 866},          CodePage{"cp866", 866},
    CodePage{"shift_jis", 932},      CodePage{"shift-jis", 932},       CodePage{"sjis", 932},
    CodePage{"x-sjis", 932},         CodePage{"windows-31j", 932},     CodePage{"euc-jp", 20932},
    CodePage{"iso-2022-jp", 50220},  CodePage{"gb2312", 936},          CodePage{"gbk", 936},
    CodePage{"x-gbk", 936},          CodePage{"gb18030", 54936},       CodePage{"hz-gb-2312", 52936},
    CodePage{"big5", 950},           CodePage{"euc-kr", 949},          CodePage{"ks_c_5601-1987", 949},
    CodePage{"iso-2022-kr", 50225},  CodePage{"utf-7", 65000},         CodePage{"macintosh", 10000},
    CodePage{"utf-16", 1200},        CodePage{"utf-16le", 1200},       CodePage{"utf-16be", 1201},
};

} // namespace

std::optional<std::string> utf8FromCharset(std::string_view bytes, std::string_view charset)
{
    const std::string name = text::asciiLowered(charset);
    UINT page = 0;
    for (const CodePage& p : kCodePages)
        if (p.name == name)
            page = p.page;
    if (page == 0)
        return std::nullopt;
    if (bytes.empty())
        return std::string();
    std::wstring wide;
    if (page == 1200 || page == 1201) { // UTF-16 is no code page MultiByteToWideChar reads
        if (bytes.size() % 2 != 0)
            return std::nullopt;
        for (std::size_t i = 0; i < bytes.size(); i += 2) {
            const auto a = static_cast<unsigned char>(bytes[i]);
            const auto b = static_cast<unsigned char>(bytes[i + 1]);
            wide += static_cast<wchar_t>(page == 1200 ? a | b << 8 : b | a << 8);
        }
    } else {
        // Invalid bytes fail where the code page can tell (UTF-8 and the double-byte sets).
        const DWORD strict = (page == 65001 || page == 932 || page == 936 || page == 949 || page == 950 || page == 54936)
                                 ? MB_ERR_INVALID_CHARS
                                 : 0;
        const int n = MultiByteToWideChar(page, strict, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        if (n <= 0)
            return std::nullopt;
        wide.resize(static_cast<std::size_t>(n));
        if (MultiByteToWideChar(page, strict, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n) != n)
            return std::nullopt;
    }
    return text::utf8FromWide(wide);
}

} // namespace carrowin::extract
