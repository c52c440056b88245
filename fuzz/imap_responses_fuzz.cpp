// libFuzzer target: the IMAP response reader (see checks.h).
#include "checks.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return carrowin::fuzz::abortIfBroken(carrowin::fuzz::checkImapResponses({reinterpret_cast<const char*>(data), size}));
}
