# GoogleTest and CLI11. A native build takes Debian's packages; a cross build cannot use
# the build machine's libraries, so it builds GoogleTest from Debian's sources with the
# target's compiler and stages CLI11's headers alone (its package config would put the
# build machine's /usr/include on the target's include path).
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG REQUIRED)
  if(BUILD_TESTING)
    find_package(GTest REQUIRED)
  endif()
  return()
endif()

set(CARROWIN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
set(CARROWIN_CLI11_HEADERS /usr/include/CLI CACHE PATH "CLI11's header folder for the cross build")

file(COPY "${CARROWIN_CLI11_HEADERS}" DESTINATION "${CARROWIN_STAGING_PREFIX}/include")
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE "${CARROWIN_STAGING_PREFIX}/include")

if(BUILD_TESTING)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # GoogleTest's own build defines GTest::gtest and GTest::gtest_main.
  add_subdirectory("${CARROWIN_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
