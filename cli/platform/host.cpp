#include "cli/platform/host.h"

namespace cli {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Calls visit(line) for each line until it returns true.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (visit(text.substr(0, end))) return;
        if (end == std::string_view::npos) return;
        text.remove_prefix(end + 1);
    }
}

}  // namespace

std::string OsReleaseValue(std::string_view osRelease, std::string_view key) {
    std::string value;
    ForEachLine(osRelease, [&](std::string_view line) {
        if (!line.starts_with(key) || line.substr(key.size()).substr(0, 1) != "=") return false;
        std::string_view raw = Trimmed(line.substr(key.size() + 1));
        if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
            raw = raw.substr(1, raw.size() - 2);
        }
        value = raw;
        return true;
    });
    return value;
}

std::string CpuInfoModelName(std::string_view cpuInfo) {
    std::string value;
    ForEachLine(cpuInfo, [&](std::string_view line) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || Trimmed(line.substr(0, colon)) != "model name") return false;
        value = Trimmed(line.substr(colon + 1));
        return true;
    });
    return value;
}

}  // namespace cli
