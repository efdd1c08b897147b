# The version of project() flows from here into the version resource, the manifest,
# `mivaro-cli --version`, the JSON documents and the package names: mivaro_version is an
# interface library whose include path holds the generated "mivaro_version.h".
set(MIVARO_BUILD_PLATFORM "${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR}")
set(MIVARO_BUILD_COMPILER "${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}")
set(MIVARO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${MIVARO_GENERATED_DIR}/mivaro_version.h @ONLY)

add_library(mivaro_version INTERFACE)
target_include_directories(mivaro_version INTERFACE ${MIVARO_GENERATED_DIR})
