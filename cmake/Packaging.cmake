# Release packages, made by `cpack --preset windows` and `cpack --preset linux`:
#   Mivaro-<version>-win64.zip                 Mivaro.exe, mivaro-cli.exe, README.txt, LICENSE.txt
#   mivaro-cli-<version>-linux-x86_64.tar.gz   mivaro-cli, README.txt, LICENSE.txt
# Only what a user runs goes in: no test programs, no debug information (the programs are
# stripped), no MinGW DLL (the Windows runtime is linked statically).
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
