#include "cli/commands/build_info.h"

#include "mivaro_version.h"

namespace cli {

BuildInfo ThisBuild() {
    return {"mivaro-cli", MIVARO_VERSION, MIVARO_BUILD_PLATFORM, MIVARO_BUILD_COMPILER};
}

std::string VersionText(const BuildInfo& build) {
    return build.name + " " + build.version + "\nbuilt for " + build.platform + " with " + build.compiler + "\n";
}

}  // namespace cli
