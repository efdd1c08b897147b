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

include(${CMAKE_CURRENT_LIST_DIR}/Layering.cmake)

# A static library of the project: mivaro_library(name SOURCES ... [DEPS ...])
# A library of a product folder may link only libraries of the folders cmake/Layering.cmake
# allows that folder, so that a header included against the direction also fails to link.
function(mivaro_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  if(folder IN_LIST MIVARO_LAYERS)
    foreach(dep IN LISTS ARG_DEPS)
      if(NOT TARGET ${dep})
        continue()
      endif()
      get_target_property(dep_folder ${dep} MIVARO_FOLDER)
      if(dep_folder AND NOT dep_folder STREQUAL folder AND NOT dep_folder IN_LIST MIVARO_LAYER_${folder})
        message(FATAL_ERROR "${name} (${folder}/) may not link ${dep} (${dep_folder}/): see cmake/Layering.cmake")
      endif()
    endforeach()
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES MIVARO_FOLDER "${folder}")
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

# Tests that show the Mivaro window take turns on the one desktop they share: two at once
# would find each other's window by its title and take each other's keyboard focus.
function(mivaro_test_shows_window name)
  set_property(TEST ${name} APPEND PROPERTY RESOURCE_LOCK desktop)
endfunction()
