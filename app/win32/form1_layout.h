#pragma once
// The window as the Win32 front end lays it out: every control in tab order (0 to 18),
// places in twips of the client area, fonts, colours and tooltips. Plain data without
// the Windows headers, so that a test on any system checks it against the window's one
// description, app/qt/form1.ui.
#include <array>
#include <cstdint>

namespace carrowin::win32 {

enum class Kind { Label, Heading, Frame, Option, Check, Edit, Combo, SortedCombo, Button };
enum class Font { Small, Window, Heading }; // 8.25, 9.75 and 12 pt
inline constexpr std::array<int, 3> kFontHundredthsOfPoints{825, 975, 1200};
inline constexpr std::uint32_t kNoColour = 0xFFFFFFFF; // else 0xRRGGBB

struct ControlLayout {
    const char* name;
    Kind kind;
    const char* text; // UTF-8
    int left, top, width, height;
    Font font;
    std::uint32_t colour;
    const char* tip; // UTF-8, or none
    bool hidden = false;
    bool disabled = false;
};

inline constexpr int kClientWidth = 6075; // twips
inline constexpr int kClientHeight = 6435;

// The four controls of the frame "Save" are given with the frame's own place (1044, 432)
// added.
inline constexpr std::array<ControlLayout, 19> kForm1Controls{{
    {"prog1", Kind::Heading, "", 756, 5652, 1848, 408, Font::Heading, 0x0000FF, nullptr, true},
    {"Label2", Kind::Heading, "Action", 468, 36, 804, 372, Font::Heading, 0xFF0000, nullptr},
    {"Frame2", Kind::Frame, "Save", 1044, 432, 3792, 1416, Font::Window, kNoColour, nullptr},
    {"sopt1", Kind::Option, "By Subject", 1044 + 180, 432 + 324, 3036, 336, Font::Window, kNoColour,
     "Select to name Output files by message Subject"},
    {"sopt2", Kind::Option, "By Prefix", 1044 + 180, 432 + 720, 3360, 264, Font::Window, kNoColour,
     "Select to name files by Prefix below"},
    {"fpref1", Kind::Edit, "File", 1044 + 612, 432 + 1008, 3072, 324, Font::Window, kNoColour,
     "Type in value to use for File Prefix", false, true},
    {"Label3", Kind::Heading, "Input", 468, 1908, 804, 372, Font::Heading, 0x0000FF, nullptr},
    {"Label4", Kind::Label, "Path:", 72, 2304, 696, 264, Font::Window, kNoColour, nullptr},
    {"inpth1", Kind::Combo, "", 324, 2628, 5664, 288, Font::Small, kNoColour, "Set Directory Path to DBX files"},
    {"infil1", Kind::SortedCombo, "", 324, 3348, 5664, 288, Font::Small, kNoColour, "Select DBX file to Extract"},
    {"outpth1", Kind::Edit, "", 324, 4464, 5664, 288, Font::Small, kNoColour,
     "Type or Paste in Path for Output files or use current"},
    {"cmdx1", Kind::Button, "&Extract", 3996, 5040, 1596, 480, Font::Window, kNoColour,
     "Click to begin file extraction!"},
    {"Label5", Kind::Label, "Select, Paste, or Type in values", 1920, 2340, 2400, 225, Font::Small, kNoColour,
     nullptr},
    {"Label6", Kind::Label, "File:", 108, 3024, 696, 264, Font::Window, kNoColour, nullptr},
    {"Label7", Kind::Heading, "Output", 468, 3780, 804, 372, Font::Heading, 0x008000, nullptr},
    {"Label8", Kind::Label, "Path:", 72, 4140, 696, 264, Font::Window, kNoColour, nullptr},
    {"Command1", Kind::Button, "&Cancel", 3996, 5652, 1596, 480, Font::Window, kNoColour, nullptr},
    {"Label1", Kind::Label, "Progress:", 288, 5148, 1560, 300, Font::Window, kNoColour, nullptr},
    {"Check1", Kind::Check, "Remove Re:", 1044 + 1800, 432 + 360, 1695, 255, Font::Window, kNoColour,
     "Select to remove Re from replies to same Subject"},
}};

// The six rules: 3 pixels high, centred on their y.
struct RuleLayout {
    int fromX, toX, y;
    std::uint32_t colour;
};
inline constexpr std::array<RuleLayout, 6> kForm1Rules{{{36, 396, 216, 0xFF0000},
                                                        {1332, 5976, 216, 0xFF0000},
                                                        {36, 396, 2088, 0x0000FF},
                                                        {1332, 5976, 2088, 0x0000FF},
                                                        {36, 396, 3960, 0x008000},
                                                        {1332, 5976, 3960, 0x008000}}};

// Where a control stands in the table (its place in the tab order), by its name.
constexpr int placeOf(const char* name)
{
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
        const char* a = kForm1Controls[i].name;
        const char* b = name;
        while (*a != '\0' && *a == *b)
            ++a, ++b;
        if (*a == *b)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace carrowin::win32
