// A C library that is not glibc: its own way of keeping freed memory stays (native_files.h).
#include "native_files.h"

namespace carrowin::extract::native {

void reuseFreedMemory() noexcept {}

} // namespace carrowin::extract::native
