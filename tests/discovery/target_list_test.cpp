#include "discovery/target_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

GpuTarget CudaDevice(int ordinal) {
    GpuTarget target;
    target.cudaOrdinal = ordinal;
    target.name = "NVIDIA GeForce RTX 4090";
    target.backend = BackendKind::Cuda;
    return target;
}

GpuTarget Adapter(const std::string& name, DirectMlStatus status) {
    GpuTarget target;
    target.name = name;
    target.backend = BackendKind::DirectMl;
    target.directMlStatus = status;
    return target;
}

CudaComponentsState Usable(int devices) {
    CudaComponentsState state;
    state.requiredVersion = kRequiredCudaVersion;
    state.driverVersion = 13000;
    state.runtimeVersion = 13050;
    state.cublasMajor = 13;
    state.deviceCount = devices;
    state.driverStatus = DriverStatus::Installed;
    return state;
}

// Scripted platform pieces that count how often each runs.
struct Machine {
    PciDisplayScan scan;
    CudaComponentsState cuda;
    std::vector<GpuTarget> directMl;
    bool enumerationThrows = false;
    bool directMlThrows = false;
    int detections = 0;
    std::vector<int> enumerations;
    int directMlRuns = 0;

    TargetSources Sources() {
        return {[this] { return scan; },
                [this](const PciDisplayScan& passed) {
                    ++detections;
                    EXPECT_EQ(passed, scan);
                    return cuda;
                },
                [this](int count) {
                    enumerations.push_back(count);
                    if (enumerationThrows) {
                        throw std::runtime_error("cudaGetDeviceProperties: unknown error");
                    }
                    std::vector<GpuTarget> devices;
                    for (int i = 0; i < count; ++i) {
                        devices.push_back(CudaDevice(i));
                    }
                    return devices;
                },
                [this] {
                    ++directMlRuns;
                    if (directMlThrows) {
                        throw std::runtime_error("CreateDXGIFactory1 (0x887A0004)");
                    }
                    return directMl;
                }};
    }
};

std::vector<std::string> Names(const std::vector<GpuTarget>& targets) {
    std::vector<std::string> names;
    for (const auto& target : targets) {
        names.push_back(target.backend == BackendKind::Cuda ? "cuda " + std::to_string(target.cudaOrdinal)
                                                            : target.name);
    }
    return names;
}

TEST(AssembleTestTargets, NothingAtAll) {
    Machine machine;
    const TargetDiscovery found = AssembleTestTargets(machine.Sources());
    EXPECT_THAT(found.targets, IsEmpty());
    EXPECT_EQ(found.defaultIndex, 0u);
    EXPECT_FALSE(found.nvidiaPresent);
    EXPECT_EQ(found.cudaState, CudaComponentsState{});
    EXPECT_EQ(machine.detections, 0);
    EXPECT_EQ(machine.directMlRuns, 1);
    ASSERT_TRUE(found.status);
    EXPECT_EQ(found.status->en,
              L"A CUDA-capable NVIDIA GPU or an AMD/Intel GPU with DirectML FP16 support is required.");
    EXPECT_EQ(found.status->ru, L"Требуется NVIDIA с CUDA или AMD/Intel с DirectML и FP16.");
}

TEST(AssembleTestTargets, CudaDevicesFirstThenAdapters) {
    Machine machine;
    machine.scan = {true, true};
    machine.cuda = Usable(2);
    machine.directMl = {Adapter("Intel(R) UHD Graphics 630", DirectMlStatus::Ready)};
    const TargetDiscovery found = AssembleTestTargets(machine.Sources());
    EXPECT_THAT(Names(found.targets), ElementsAre("cuda 0", "cuda 1", "Intel(R) UHD Graphics 630"));
    EXPECT_THAT(machine.enumerations, ElementsAre(2));
    EXPECT_EQ(found.defaultIndex, 0u);
    EXPECT_FALSE(found.status);  // status line left unchanged
    EXPECT_EQ(found.cudaState, machine.cuda);
}

TEST(AssembleTestTargets, CublasMissingWithAReadyAmdCard) {
    Machine machine;
    machine.scan = {true, true};
    machine.cuda = Usable(1);
    machine.cuda.cublasMissing = true;
    machine.directMl = {Adapter("AMD Radeon RX 7900 XTX", DirectMlStatus::Ready)};
    const TargetDiscovery found = AssembleTestTargets(machine.Sources());
    EXPECT_THAT(Names(found.targets), ElementsAre("AMD Radeon RX 7900 XTX"));
    EXPECT_THAT(machine.enumerations, IsEmpty());
    EXPECT_EQ(found.defaultIndex, 0u);
    // Set, but replaced by the selection handler since the list is not empty.
    ASSERT_TRUE(found.status);
    EXPECT_EQ(found.status->en, L"CUDA libraries are required. Open CUDA components for details.");
}

TEST(AssembleTestTargets, StatusMessageTable) {
    struct Row {
        bool nvidia;
        CudaComponentsState state;
        std::wstring ru;
        std::wstring en;
    };
    CudaComponentsState oldDriver = Usable(1);
    oldDriver.driverStatus = DriverStatus::NeedsUpdate;
    oldDriver.cublasMissing = true;  // the driver row comes first
    CudaComponentsState noCublas = Usable(1);
    noCublas.cublasMissing = true;
    noCublas.errorText = "ignored";
    CudaComponentsState failed = Usable(0);
    failed.errorText = "unknown error \xc3\xa9";
    const Row rows[] = {
        {true, oldDriver, L"Требуется совместимый драйвер NVIDIA с поддержкой CUDA.",
         L"A compatible NVIDIA driver with CUDA support is required."},
        {true, noCublas, L"Нужны библиотеки CUDA. Подробнее в «Компоненты CUDA».",
         L"CUDA libraries are required. Open CUDA components for details."},
        {true, failed, L"Ошибка CUDA: unknown error \u00e9", L"CUDA error: unknown error \u00e9"},
        {true, Usable(0), L"Устройства CUDA не найдены", L"No CUDA devices found"},
    };
    for (const Row& row : rows) {
        Machine machine;
        machine.scan = {row.nvidia, true};
        machine.cuda = row.state;
        const TargetDiscovery found = AssembleTestTargets(machine.Sources());
        ASSERT_TRUE(found.status);
        EXPECT_EQ(found.status->ru, row.ru);
        EXPECT_EQ(found.status->en, row.en);
        EXPECT_THAT(found.targets, IsEmpty());
    }
}

TEST(AssembleTestTargets, NoEnumerationUnlessEverythingIsInOrder) {
    CudaComponentsState notInstalled = Usable(2);
    notInstalled.driverStatus = DriverStatus::NotInstalled;
    for (const CudaComponentsState& state : {notInstalled, Usable(0)}) {
        Machine machine;
        machine.scan = {true, false};
        machine.cuda = state;
        AssembleTestTargets(machine.Sources());
        EXPECT_THAT(machine.enumerations, IsEmpty());
    }
}

TEST(AssembleTestTargets, FailingEnumerationReportsAndStillRunsDirectMl) {
    Machine machine;
    machine.scan = {true, true};
    machine.cuda = Usable(2);
    machine.enumerationThrows = true;
    machine.directMl = {Adapter("Intel(R) Arc(TM) A770 Graphics", DirectMlStatus::NoFp16)};
    const TargetDiscovery found = AssembleTestTargets(machine.Sources());
    EXPECT_THAT(Names(found.targets), ElementsAre("Intel(R) Arc(TM) A770 Graphics"));
    EXPECT_TRUE(found.nvidiaPresent);
    EXPECT_EQ(found.cudaState, machine.cuda);
    ASSERT_TRUE(found.status);
    EXPECT_EQ(found.status->en, L"CUDA error: cudaGetDeviceProperties: unknown error");
    EXPECT_EQ(found.status->ru, L"Ошибка CUDA: cudaGetDeviceProperties: unknown error");
}

TEST(AssembleTestTargets, FailingScanIsReportedAsACudaError) {
    Machine machine;
    TargetSources sources = machine.Sources();
    sources.scanPci = []() -> PciDisplayScan { throw std::bad_alloc(); };
    const TargetDiscovery found = AssembleTestTargets(sources);
    ASSERT_TRUE(found.status);
    EXPECT_EQ(found.status->en, L"CUDA error: std::bad_alloc");
    EXPECT_EQ(machine.directMlRuns, 1);
}

TEST(AssembleTestTargets, DirectMlFailureIsShownOnlyWithNothingElseToSay) {
    Machine alone;
    alone.directMlThrows = true;
    const TargetDiscovery shown = AssembleTestTargets(alone.Sources());
    ASSERT_TRUE(shown.status);
    EXPECT_EQ(shown.status->en, L"DirectML detection: CreateDXGIFactory1 (0x887A0004)");
    EXPECT_EQ(shown.status->ru, L"Проверка DirectML: CreateDXGIFactory1 (0x887A0004)");

    Machine withNvidia;
    withNvidia.scan = {true, true};
    withNvidia.cuda = Usable(1);
    withNvidia.directMlThrows = true;
    const TargetDiscovery silent = AssembleTestTargets(withNvidia.Sources());
    EXPECT_THAT(Names(silent.targets), ElementsAre("cuda 0"));
    EXPECT_FALSE(silent.status);

    Machine nvidiaWithoutCuda;
    nvidiaWithoutCuda.scan = {true, false};
    nvidiaWithoutCuda.cuda.driverStatus = DriverStatus::NotInstalled;
    nvidiaWithoutCuda.directMlThrows = true;
    const TargetDiscovery kept = AssembleTestTargets(nvidiaWithoutCuda.Sources());
    ASSERT_TRUE(kept.status);
    EXPECT_EQ(kept.status->en, L"A compatible NVIDIA driver with CUDA support is required.");
}

TEST(DefaultTargetIndex, FirstReadyEntryOrZero) {
    EXPECT_EQ(DefaultTargetIndex({}), 0u);
    EXPECT_EQ(DefaultTargetIndex({Adapter("a", DirectMlStatus::NoFp16), Adapter("b", DirectMlStatus::NoDirectMl)}), 0u);
    EXPECT_EQ(DefaultTargetIndex({Adapter("a", DirectMlStatus::NoDirect3D12), Adapter("b", DirectMlStatus::Ready),
                                  Adapter("c", DirectMlStatus::Ready)}),
              1u);
}

}  // namespace
