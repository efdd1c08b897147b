#pragma once
// Where the DirectML library a result depends on comes from, for the result documents (the
// NVIDIA libraries' files come from the CUDA layer's DynamicLibrary::LoadedFile).

#include <string>

namespace cli {

struct DirectMlLibrary {
    std::string path;     // empty when absent
    std::string version;  // the file version, "1.15.4.0"; empty when unknown
};

// The DirectML.dll the DirectML backend loads (from the system directory); nothing elsewhere.
DirectMlLibrary SystemDirectMlLibrary();

}  // namespace cli
