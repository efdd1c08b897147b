# Compiler settings shared by every target of the project (not by third-party code).
function(mivaro_target_options target)
  if(MSVC)
    # /fp:precise without /fp:contract keeps a*b+c as two roundings.
    target_compile_options(${target} PRIVATE /W4 /WX /permissive- /utf-8 /Zc:__cplusplus /fp:precise)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror
                           -ffp-contract=off -fno-fast-math)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                               _WIN32_WINNT=0x0A00 WINVER=0x0A00)
  endif()
endfunction()

# A static library of the project: mivaro_library(name SOURCES ... [DEPS ...])
function(mivaro_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  mivaro_target_options(${name})
endfunction()

# A GoogleTest executable registered with CTest. Under the Windows build it runs through
# scripts/wine-run.sh inside the build's Wine session (see cmake/WineTests.cmake).
#   mivaro_test(name SOURCES ... [DEPS ...] [TIMEOUT seconds] [LABELS ...])
function(mivaro_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest_main GTest::gmock)
  mivaro_target_options(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_session)
  endif()
endfunction()
