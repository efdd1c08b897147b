# Builds for x86-64 Linux against the C library of Debian 11 (glibc 2.31) with this machine's
# GCC, so that the program starts on Debian 11, Ubuntu 22.04, RHEL 9 and every newer system.
# The system root comes from scripts/make-debian11-sysroot.sh (run here when it is missing);
# the C++ headers are the compiler's own and the C++ runtime is linked statically.
set(MIVARO_DEBIAN11_SYSROOT "${CMAKE_CURRENT_LIST_DIR}/../build/debian11-sysroot"
    CACHE PATH "Debian 11 system root made by scripts/make-debian11-sysroot.sh")
if(NOT EXISTS "${MIVARO_DEBIAN11_SYSROOT}/.complete")
  execute_process(COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/../scripts/make-debian11-sysroot.sh"
                          "${MIVARO_DEBIAN11_SYSROOT}"
                  RESULT_VARIABLE sysroot_result)
  if(NOT sysroot_result EQUAL 0)
    message(FATAL_ERROR "No Debian 11 system root in ${MIVARO_DEBIAN11_SYSROOT}")
  endif()
endif()
get_filename_component(MIVARO_DEBIAN11_SYSROOT "${MIVARO_DEBIAN11_SYSROOT}" ABSOLUTE)
# CMake's own compiler checks read this file again and must take the same root.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MIVARO_DEBIAN11_SYSROOT)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_SYSROOT "${MIVARO_DEBIAN11_SYSROOT}")

# With a system root GCC no longer finds its own C++ headers: name them, before the C headers.
execute_process(COMMAND g++ -dumpversion OUTPUT_VARIABLE gcc_major OUTPUT_STRIP_TRAILING_WHITESPACE)
set(CMAKE_CXX_FLAGS_INIT
    "-isystem /usr/include/c++/${gcc_major} -isystem /usr/include/x86_64-linux-gnu/c++/${gcc_major}")
# GCC looks in the build machine's library folder before the root's: -B takes the root's start
# files (a newer crt1.o starts no static constructors under glibc 2.31) and -L its libraries.
set(libraries "${MIVARO_DEBIAN11_SYSROOT}/lib/x86_64-linux-gnu")
set(development "${MIVARO_DEBIAN11_SYSROOT}/usr/lib/x86_64-linux-gnu")
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-B${development}/ -L${libraries} -L${development} -Wl,-rpath-link,${libraries} -pthread")
# Before glibc 2.34 the threads and the dynamic loader's calls live in libraries of their own.
set(CMAKE_CXX_STANDARD_LIBRARIES_INIT "-ldl")

# Read by cli/CMakeLists.txt: libgcc stays shared and the program supplies what GCC's static
# C++ runtime expects of a newer C library.
set(MIVARO_GLIBC_BASELINE 2.31)
