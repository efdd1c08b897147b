# Release packages, made by `cpack --preset windows` and `cpack --preset linux`:
#   Mivaro-<version>-win64.zip                 Mivaro.exe, mivaro-cli.exe, README.txt, LICENSE.txt
#   mivaro-cli-<version>-linux-x86_64.tar.gz   mivaro-cli, README.txt, LICENSE.txt
# Only what a user runs goes in: no test programs, no debug information (the programs are
# stripped), no MinGW DLL (the Windows runtime is linked statically).
#
# The Linux package holds a mivaro-cli that needs no C library newer than glibc 2.31: a build
# of its own (portable-cli in the build folder, part of the default build) against the Debian 11
# system root of cmake/debian11-x86_64.cmake, which cpack installs in place of this one.
set(MIVARO_GLIBC_BASELINE_REQUIRED 2.31)
set(MIVARO_DEBIAN11_SYSROOT "${PROJECT_SOURCE_DIR}/build/debian11-sysroot"
    CACHE PATH "Debian 11 system root made by scripts/make-debian11-sysroot.sh")
if(NOT WIN32 AND NOT MIVARO_GLIBC_BASELINE)
  include(ExternalProject)
  set(MIVARO_PORTABLE_CLI_DIR ${CMAKE_BINARY_DIR}/portable-cli)
  ExternalProject_Add(mivaro-cli-portable
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${MIVARO_PORTABLE_CLI_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/debian11-x86_64.cmake
               -DMIVARO_DEBIAN11_SYSROOT=${MIVARO_DEBIAN11_SYSROOT}
               -DCMAKE_BUILD_TYPE=Release -DMIVARO_BUILD_TESTS=OFF
               -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
               -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
               -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${MIVARO_PORTABLE_CLI_DIR} --target mivaro-cli
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${MIVARO_PORTABLE_CLI_DIR}/cli/mivaro-cli
    INSTALL_COMMAND "")
  # cpack installs the portable build (its own rules below, with stripping) and nothing of this one.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${MIVARO_PORTABLE_CLI_DIR};Mivaro;ALL;/")
endif()

if(WIN32)
  install(TARGETS Mivaro mivaro-cli RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/package/README-windows.txt DESTINATION . RENAME README.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Mivaro-${PROJECT_VERSION}-win64)
else()
  install(TARGETS mivaro-cli RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/package/README-linux.txt DESTINATION . RENAME README.txt)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME mivaro-cli-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_PACKAGE_NAME Mivaro)
set(CPACK_PACKAGE_VENDOR "The Mivaro developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
# Unpacks into a folder of the package's own name.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
