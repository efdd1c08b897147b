#include "cli/libraries.h"

namespace cli {

DirectMlLibrary SystemDirectMlLibrary() { return {}; }

}  // namespace cli
