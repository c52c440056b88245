#include "process_setup.h"

#include "native_files.h"

namespace carrowin::extract {

void allowOpenFiles() noexcept
{
    native::allowAllOpenFiles();
}

void reuseFreedMemory() noexcept
{
    native::reuseFreedMemory();
}

} // namespace carrowin::extract
