// libFuzzer target: the reader of Wine's registry files (see checks.h).
#include "checks.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return carrowin::fuzz::abortIfBroken(carrowin::fuzz::checkRegistryReader({reinterpret_cast<const char*>(data), size}));
}
