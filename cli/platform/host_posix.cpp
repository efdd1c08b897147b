#include <fstream>
#include <sstream>

#include <sys/utsname.h>
#include <unistd.h>

#include "cli/platform/host.h"

namespace cli {
namespace {

std::string FileText(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

HostInfo ReadHostInfo() {
    HostInfo host;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0) host.name = name;
    std::string osRelease = FileText("/etc/os-release");
    if (osRelease.empty()) osRelease = FileText("/usr/lib/os-release");
    host.osName = OsReleaseValue(osRelease, "PRETTY_NAME");
    struct utsname names {};
    if (uname(&names) == 0) {
        if (host.osName.empty()) host.osName = names.sysname;
        host.osVersion = names.release;
    }
    host.cpuModel = CpuInfoModelName(FileText("/proc/cpuinfo"));
    return host;
}

}  // namespace cli
