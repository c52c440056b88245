// libFuzzer target: the record scan and the naming of every record (see checks.h).
#include "checks.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return carrowin::fuzz::abortIfBroken(carrowin::fuzz::checkRecordNaming({reinterpret_cast<const char*>(data), size}));
}
