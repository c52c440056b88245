// libFuzzer target: the reader of Wine's registry files (see checks.h).
#include "checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string why = carrowin::fuzz::checkRegistryReader({reinterpret_cast<const char*>(data), size});
    if (!why.empty()) {
        std::fprintf(stderr, "broken: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
