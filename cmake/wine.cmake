# Tests of a Windows build run under Wine, in a prefix of the build's own. A fixture
# starts Wine's server before the first test and stops it after the last one; the
# wrapper also starts it by itself, for the test discovery that runs while building.
set(CARROWIN_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CARROWIN_WINEPREFIX}")

if(BUILD_TESTING)
  add_test(NAME wine_start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} cmd /c ver)
  add_test(NAME wine_stop COMMAND sh -c "wineserver -k; wineserver -w; exit 0")
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine
                       ENVIRONMENT "WINEPREFIX=${CARROWIN_WINEPREFIX}")
endif()
