// Adapter discovery against the substitute, and the selection messages.

#include "dml/adapter_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "tests/dml/fake_platform.h"
#include "tests/dml/test_support.h"

namespace {

using dmltest::ErrorText;

FakePlatform WithAdapters(std::vector<FakePlatform::Adapter> adapters) {
    FakePlatform fake;
    fake.adapters = std::move(adapters);
    return fake;
}

TEST(DirectMlDiscovery, ListsAmdAndIntelHardwareAdaptersOnlyWithTheirFields) {
    FakePlatform::Adapter nvidia = FakePlatform::MakeAdapter(0x10DE, 1, u"NVIDIA GeForce");
    FakePlatform::Adapter software = FakePlatform::MakeAdapter(0x8086, 2, u"Basic Render");
    software.desc.flags = gemm::kAdapterFlagSoftware;
    FakePlatform::Adapter amd =
        FakePlatform::MakeAdapter(0x1002, 3, u"AMD Radeon \u00C9 \U0001F600");
    amd.desc.subSysId = 0x0E3A1DA2;
    amd.desc.dedicatedVideoMemory = 16ull << 30;
    amd.desc.luid = AdapterLuid{3, -2};
    FakePlatform::Adapter intel = FakePlatform::MakeAdapter(0x8086, 4, u"Intel(R) Arc");
    intel.uma = true;
    FakePlatform::Adapter other = FakePlatform::MakeAdapter(0x5143, 5, u"Other");
    FakePlatform fake = WithAdapters({nvidia, software, amd, intel, other});

    const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters(fake);
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].name, "AMD Radeon \xC3\x89 \xF0\x9F\x98\x80");
    EXPECT_EQ(targets[0].cudaOrdinal, -1);
    EXPECT_EQ(targets[0].backend, BackendKind::DirectMl);
    EXPECT_EQ(targets[0].dedicatedMemoryBytes, 16ull << 30);
    EXPECT_EQ(targets[0].sharedMemoryBytes, 8ull << 30);
    EXPECT_EQ(targets[0].boardVendorId, 0x1DA2u);
    EXPECT_EQ(targets[0].adapterLuid, (AdapterLuid{3, -2}));
    EXPECT_EQ(targets[0].directMlStatus, DirectMlStatus::Ready);
    EXPECT_FALSE(targets[0].integrated);
    EXPECT_EQ(targets[1].name, "Intel(R) Arc");
    EXPECT_TRUE(targets[1].integrated);
    EXPECT_TRUE(fake.errors.empty());
    EXPECT_TRUE(fake.Leaks().empty());
    // The library is unloaded once after the loop, the factory released after it.
    const std::vector<std::string> kinds = fake.ReleasedKinds();
    ASSERT_GE(kinds.size(), 2u);
    EXPECT_EQ(kinds[kinds.size() - 2], "library");
    EXPECT_EQ(kinds.back(), "factory");
    EXPECT_EQ(fake.Count("LoadDirectMl"), 1);
    // Only the two listed adapters were probed.
    EXPECT_EQ(fake.Count("CreateDevice"), 2);
}

TEST(DirectMlDiscovery, OnlyNvidiaAndSoftwareAdaptersGiveAnEmptyList) {
    FakePlatform::Adapter software = FakePlatform::MakeAdapter(0x1414, 2, u"Basic Render");
    software.desc.flags = gemm::kAdapterFlagSoftware;
    FakePlatform fake = WithAdapters({FakePlatform::MakeAdapter(0x10DE, 1, u"NVIDIA"), software});
    EXPECT_TRUE(gemm::FindDirectMlAdapters(fake).empty());
    EXPECT_TRUE(fake.Leaks().empty());
}

TEST(DirectMlDiscovery, EachStatusOfTheProbe) {
    struct Row {
        const char* name;
        std::function<void(FakePlatform&)> arrange;
        DirectMlStatus status;
        bool integrated;
    };
    const std::vector<Row> rows = {
        {"ready", [](FakePlatform&) {}, DirectMlStatus::Ready, true},
        {"no device", [](FakePlatform& f) { f.adapters[0].createDeviceFails = true; },
         DirectMlStatus::NoDirect3D12, false},
        {"no library", [](FakePlatform& f) { f.libraryPresent = false; },
         DirectMlStatus::NoDirectMl, true},
        {"no export", [](FakePlatform& f) { f.exportPresent = false; }, DirectMlStatus::NoDirectMl,
         true},
        {"DirectML device fails", [](FakePlatform& f) { f.adapters[0].dmlDeviceFails = true; },
         DirectMlStatus::NoDirectMl, true},
        {"FP16 query fails", [](FakePlatform& f) { f.adapters[0].fp16QueryFails = true; },
         DirectMlStatus::NoFp16, true},
        {"no FP16", [](FakePlatform& f) { f.adapters[0].fp16Supported = false; },
         DirectMlStatus::NoFp16, true},
        {"architecture query fails", [](FakePlatform& f) { f.adapters[0].umaQueryFails = true; },
         DirectMlStatus::Ready, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePlatform fake;  // one integrated Intel adapter
        row.arrange(fake);
        const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters(fake);
        ASSERT_EQ(targets.size(), 1u);
        EXPECT_EQ(targets[0].directMlStatus, row.status);
        EXPECT_EQ(targets[0].integrated, row.integrated);
        EXPECT_TRUE(fake.errors.empty());
        EXPECT_TRUE(fake.Leaks().empty());
    }
}

TEST(DirectMlDiscovery, ProbeObjectsAreReleasedBeforeTheNextAdapter) {
    FakePlatform fake = WithAdapters({FakePlatform::MakeAdapter(0x8086, 1, u"Twin"),
                                      FakePlatform::MakeAdapter(0x8086, 2, u"Twin")});
    const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters(fake);
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].name, targets[1].name);
    EXPECT_NE(targets[0].adapterLuid, targets[1].adapterLuid);
    EXPECT_EQ(fake.ReleasedKinds(),
              (std::vector<std::string>{"DirectML device", "device", "adapter", "DirectML device",
                                        "device", "adapter", "library", "factory"}));
}

TEST(DirectMlDiscovery, UnconvertibleDescriptionGivesAnEmptyName) {
    FakePlatform fake;
    fake.adapters[0].desc.description[3] = 0xD800;  // a lone surrogate
    const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters(fake);
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].name, "");
}

TEST(DirectMlDiscovery, DescriptionFillingItsWholeFieldIsReadNoFurther) {
    FakePlatform fake;
    std::fill(std::begin(fake.adapters[0].desc.description),
              std::end(fake.adapters[0].desc.description), u'A');
    const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters(fake);
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].name, std::string(128, 'A'));
}

TEST(DirectMlDiscovery, DxgiFailuresThrowAndReleaseEverything) {
    const std::vector<std::pair<std::function<void(FakePlatform&)>, const char*>> rows = {
        {[](FakePlatform& f) { f.Fail("CreateDxgiFactory", FakePlatform::kFail); },
         "CreateDXGIFactory1 (0x80004005)"},
        {[](FakePlatform& f) { f.Fail("EnumAdapters", FakePlatform::kInvalidArg, 1); },
         "EnumAdapters1 (0x80070057)"},
        {[](FakePlatform& f) { f.Fail("GetAdapterDesc", FakePlatform::kFail, 1); },
         "GetDesc1 (0x80004005)"},
    };
    for (const auto& [arrange, text] : rows) {
        SCOPED_TRACE(text);
        FakePlatform fake = WithAdapters({FakePlatform::MakeAdapter(0x8086, 1, u"A"),
                                          FakePlatform::MakeAdapter(0x1002, 2, u"B")});
        arrange(fake);
        EXPECT_EQ(ErrorText([&] { gemm::FindDirectMlAdapters(fake); }), text);
        EXPECT_TRUE(fake.errors.empty());
        EXPECT_TRUE(fake.Leaks().empty());
    }
}

TEST(DirectMlSelectionMessage, TextsForEachStatusAndNoneWhenReady) {
    EXPECT_FALSE(gemm::DirectMlSelectionMessage(DirectMlStatus::Ready).has_value());
    EXPECT_EQ(gemm::DirectMlSelectionMessage(DirectMlStatus::NoDirect3D12),
              (TextPair{L"Установите драйвер видеокарты с поддержкой Direct3D 12.",
                        L"Install a graphics driver with Direct3D 12 support."}));
    EXPECT_EQ(
        gemm::DirectMlSelectionMessage(DirectMlStatus::NoDirectMl),
        (TextPair{L"DirectML недоступен. Проверьте обновления Windows и драйвер видеокарты.",
                  L"DirectML is unavailable. Check Windows updates and the graphics driver."}));
    EXPECT_EQ(gemm::DirectMlSelectionMessage(DirectMlStatus::NoFp16)->en,
              L"DirectML FP16 tensors are unavailable on this graphics card.");
    EXPECT_EQ(gemm::DirectMlSelectionMessage(DirectMlStatus::NoFp16)->ru,
              L"На этой видеокарте DirectML не поддерживает тензоры FP16.");
}

}  // namespace
