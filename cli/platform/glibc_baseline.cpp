// Built only into the mivaro-cli made against an older C library (cmake/debian11-x86_64.cmake):
// the two symbols that GCC's static C++ runtime, compiled against a newer glibc, expects of it.

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

extern "C" {

// glibc 2.32 tells the C++ runtime here whether the process is single-threaded, so that it
// may skip atomic operations; 0 ("may have threads") is always correct.
char __libc_single_threaded = 0;

// glibc 2.36; the C++ runtime's random_device draws from it.
std::uint32_t arc4random(void) {
    std::uint32_t value = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&value);
    std::size_t filled = 0;
    while (filled < sizeof value) {
        const ssize_t got = getrandom(bytes + filled, sizeof value - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            std::abort();  // arc4random cannot fail; every kernel glibc 2.31 supports has getrandom
        }
    }
    return value;
}

}  // extern "C"
