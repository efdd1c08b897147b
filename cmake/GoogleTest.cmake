# GoogleTest: Debian's libgtest-dev natively; for the Windows build, compiled from the
# sources that Debian's googletest package installs under /usr/src/googletest.
if(CMAKE_CROSSCOMPILING)
  set(MIVARO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${MIVARO_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
