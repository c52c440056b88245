// libFuzzer target: the record scan and the naming of every record (see checks.h).
#include "checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string why = carrowin::fuzz::checkRecordNaming({reinterpret_cast<const char*>(data), size});
    if (!why.empty()) {
        std::fprintf(stderr, "broken: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
