# Tests of a Windows build run under Wine, in a prefix of the build's own, with their
# windows on a virtual display (Xvfb). A fixture starts the display and Wine's server
# before the first test and stops both after the last one; the runner starts the server
# by itself too, for the test discovery that runs while building.
set(CARROWIN_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--own-display;${CARROWIN_WINEPREFIX}")

if(BUILD_TESTING)
  add_test(NAME wine_start COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-display.sh start ${CARROWIN_WINEPREFIX})
  add_test(NAME wine_stop COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-display.sh stop ${CARROWIN_WINEPREFIX})
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()
