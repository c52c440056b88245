# carrowin_add_gtest(TARGET [PROPERTIES ...]): registers every test of a GoogleTest
# program with ctest, under the names the program gives them (never the bytes of a
# parameter). Under Wine the tests need Wine's server (the fixture in wine.cmake), and
# listing them the first time may have to create the Wine prefix.
include(GoogleTest)

function(carrowin_add_gtest target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PROPERTIES")
  set(_props ${arg_PROPERTIES})
  set(_timeout 5)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    list(APPEND _props FIXTURES_REQUIRED wine)
    set(_timeout 120)
  endif()
  if(_props)
    gtest_discover_tests(${target} NO_PRETTY_VALUES DISCOVERY_TIMEOUT ${_timeout} PROPERTIES ${_props})
  else()
    gtest_discover_tests(${target} NO_PRETTY_VALUES DISCOVERY_TIMEOUT ${_timeout})
  endif()
endfunction()
