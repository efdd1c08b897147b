#pragma once
// Where the libraries a result depends on came from, for the result documents.

#include <string>

namespace cli {

// The file of the loaded CUDA driver library; empty when it is not loaded.
std::string CudaDriverLibraryPath();

struct DirectMlLibrary {
    std::string path;     // empty when absent
    std::string version;  // the file version, "1.15.4.0"; empty when unknown
};

// The DirectML.dll the DirectML backend loads (from the system directory); nothing elsewhere.
DirectMlLibrary SystemDirectMlLibrary();

}  // namespace cli
