# One INTERFACE target carries the language level and warnings; every target links it.
add_library(carrowin_config INTERFACE)
add_library(carrowin::config ALIAS carrowin_config)
target_compile_features(carrowin_config INTERFACE cxx_std_20)
if(MSVC)
  target_compile_options(carrowin_config INTERFACE /W4 /utf-8)
else()
  # A switch on an enum has no default, so a value that it does not handle (a new output
  # format, say) is a build error until it is handled everywhere.
  target_compile_options(carrowin_config INTERFACE -Wall -Wextra -Wpedantic -Werror=switch)
endif()
target_compile_definitions(carrowin_config INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
  QT_NO_CAST_FROM_BYTEARRAY QT_USE_QSTRINGBUILDER QT_NO_KEYWORDS)

# The version, from project(), for every program that shows it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${CMAKE_BINARY_DIR}/generated/carrowin_version.h @ONLY)
add_library(carrowin_version INTERFACE)
add_library(carrowin::version ALIAS carrowin_version)
target_include_directories(carrowin_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
