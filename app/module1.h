#pragma once
// What the whole program shares.
#include <cstdint>

namespace carrowin::app {
class Form1View;
}

namespace Module1 {

inline constexpr std::int16_t True = -1;
inline constexpr std::int16_t False = 0;

// Set by Cancel and by closing the window, read by the extraction run before every record.
extern std::int16_t CancelRequested;

// The one window, from its creation until it is closed or destroyed.
extern carrowin::app::Form1View* Form1Ref;

} // namespace Module1
