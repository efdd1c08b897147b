#pragma once
// What built this copy of mivaro-cli: its name and version, the platform and the compiler.

#include <string>

namespace cli {

struct BuildInfo {
    std::string name;
    std::string version;   // "1.25.0"
    std::string platform;  // "Linux x86_64", "Windows x86_64"
    std::string compiler;  // "GNU 12.2.0"
};

BuildInfo ThisBuild();

// The --version answer: "mivaro-cli 1.25.0" and a line with the platform and compiler.
std::string VersionText(const BuildInfo& build);

}  // namespace cli
