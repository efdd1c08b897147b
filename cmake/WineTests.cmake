# Windows test executables run under Wine with a prefix of their own inside the build tree.
# One CTest fixture starts an Xvfb display and a persistent wineserver for the whole run
# (each Wine process then starts in milliseconds) and stops both afterwards.
set(MIVARO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${CMAKE_BINARY_DIR})

add_test(NAME wine_session_start
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-session.sh start ${CMAKE_BINARY_DIR})
add_test(NAME wine_session_stop
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-session.sh stop ${CMAKE_BINARY_DIR})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session TIMEOUT 300)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session TIMEOUT 60)
