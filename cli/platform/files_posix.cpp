#include "cli/platform/files.h"

#include <atomic>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace cli {
namespace {

std::string LastError() { return std::generic_category().message(errno); }

}  // namespace

std::string WriteFileReplacing(const std::string& path, std::string_view contents) {
    static std::atomic<unsigned> written{0};
    const std::string temporary = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(written++);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return LastError();
    std::string error;
    while (!contents.empty() && error.empty()) {
        const ssize_t n = write(fd, contents.data(), contents.size());
        if (n > 0) {
            contents.remove_prefix(static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            error = n == 0 ? "nothing could be written" : LastError();
        }
    }
    if (error.empty() && fsync(fd) != 0) error = LastError();
    if (close(fd) != 0 && error.empty()) error = LastError();
    if (error.empty() && rename(temporary.c_str(), path.c_str()) != 0) error = LastError();
    if (!error.empty()) unlink(temporary.c_str());
    return error;
}

}  // namespace cli
