#pragma once
// A substitute for the NVIDIA libraries seen by the CUDA components detection: scripted
// answers, and a record of every call in order.

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "discovery/cuda_components.h"

class FakeCudaProbe : public CudaComponentsProbe {
public:
    // Driver library: nullopt = library or entry missing; otherwise the call writes
    // driverWrites and returns driverResult.
    std::optional<int> driverResult;
    int driverWrites = 0;

    std::set<std::filesystem::path> loadableCublas;   // files that load
    std::map<std::filesystem::path, CublasLoad> refusedCublas;  // why others do not; else NotPresent
    std::set<std::filesystem::path> bindableCublas;   // loaded files whose seven functions bind
    int cublasVersion[3] = {13, 1, 0};

    std::optional<int> runtimeWrites;  // nullopt: the runtime writes nothing
    int deviceCountResult = 0;
    int deviceCountWrites = 0;
    std::map<int, std::string> errorStrings;

    std::vector<std::string> calls;
    std::filesystem::path loaded;

    std::optional<int> DriverGetVersion(int* version) override {
        calls.push_back("DriverGetVersion");
        if (driverResult) {
            *version = driverWrites;
        }
        return driverResult;
    }
    CublasLoad LoadCublas(const std::filesystem::path& file) override {
        calls.push_back("LoadCublas " + file.generic_string());
        if (loadableCublas.count(file) == 0) {
            const auto refused = refusedCublas.find(file);
            return refused != refusedCublas.end() ? refused->second : CublasLoad{};
        }
        loaded = file;
        return {true, CublasAttemptOutcome::Used, {}};
    }
    bool BindCublasImports() override {
        calls.push_back("BindCublasImports");
        return bindableCublas.count(loaded) != 0;
    }
    int CublasGetProperty(int type, int* value) override {
        calls.push_back("CublasGetProperty " + std::to_string(type));
        if (bindableCublas.count(loaded) == 0 || type < 0 || type > 2) {
            return 7;  // not bound: a real call could not have happened
        }
        *value = cublasVersion[type];
        return 0;
    }
    int RuntimeGetVersion(int* version) override {
        calls.push_back("RuntimeGetVersion");
        if (!runtimeWrites) {
            return 35;
        }
        *version = *runtimeWrites;
        return 0;
    }
    int GetDeviceCount(int* count) override {
        calls.push_back("GetDeviceCount");
        *count = deviceCountWrites;
        return deviceCountResult;
    }
    const char* GetErrorString(int status) override {
        calls.push_back("GetErrorString " + std::to_string(status));
        const auto it = errorStrings.find(status);
        return it == errorStrings.end() ? nullptr : it->second.c_str();
    }
};
