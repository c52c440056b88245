# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads), static .exe
# files that import only system DLLs. Programs come from the build machine; libraries
# and headers only from the target's root or the build's own staging prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)

set(CARROWIN_STAGING_PREFIX "${CMAKE_BINARY_DIR}/staging" CACHE PATH "Cross-built dependencies for the target")
set(CMAKE_FIND_ROOT_PATH /usr/${_triple} "${CARROWIN_STAGING_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No time stamp in the PE header and no build folder in the code: the same commit builds
# the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
get_filename_component(_carrowin_source "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CXX_FLAGS_INIT "-ffile-prefix-map=${_carrowin_source}=.")
