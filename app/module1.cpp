#include "module1.h"

namespace Module1 {

std::int16_t CancelRequested = False;
carrowin::app::Form1View* Form1Ref = nullptr;

} // namespace Module1
