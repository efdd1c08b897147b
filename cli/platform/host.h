#pragma once
// The name, operating system and processor of this machine, for the result documents.

#include <string>
#include <string_view>

#include "cli/record/run_record.h"

namespace cli {

HostInfo ReadHostInfo();

// The value of "key=value" in an os-release file, its quotes removed; empty when absent.
std::string OsReleaseValue(std::string_view osRelease, std::string_view key);

// The first "model name : ..." of /proc/cpuinfo; empty when absent.
std::string CpuInfoModelName(std::string_view cpuInfo);

}  // namespace cli
