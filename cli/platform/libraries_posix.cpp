#include "cli/platform/libraries.h"

namespace cli {

DirectMlLibrary SystemDirectMlLibrary() { return {}; }

}  // namespace cli
