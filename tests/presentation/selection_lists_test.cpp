#include "presentation/selection_lists.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr auto ru = Language::Russian;
constexpr auto en = Language::English;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

GpuTarget AsusRtx4090() {
    GpuTarget target;
    target.cudaOrdinal = 0;
    target.name = "NVIDIA GeForce RTX 4090";
    target.boardVendorId = 0x1043;
    target.dedicatedMemoryBytes = 25757220864;
    target.sharedMemoryBytes = 8 * kGiB;  // never shown for a CUDA entry
    return target;
}

GpuTarget RadeonWithSharedMemory() {
    GpuTarget target;
    target.name = "AMD Radeon RX 7800 XT";
    target.boardVendorId = 0x1002;
    target.backend = BackendKind::DirectMl;
    target.dedicatedMemoryBytes = 16 * kGiB;
    target.sharedMemoryBytes = 8 * kGiB;
    return target;
}

TEST(TargetList, ItemsNameBackendAndMemory) {
    const std::vector<GpuTarget> targets{AsusRtx4090(), RadeonWithSharedMemory()};
    EXPECT_EQ(TargetListItems(targets, en),
              (std::vector<std::wstring>{L"ASUS GeForce RTX 4090 \u00B7 cuBLAS \u00B7 24.0 GiB",
                                         L"AMD Radeon RX 7800 XT \u00B7 DirectML \u00B7 16 GiB + 8 GiB shared"}));
    EXPECT_EQ(TargetListItems(targets, ru),
              (std::vector<std::wstring>{L"ASUS GeForce RTX 4090 \u00B7 cuBLAS \u00B7 24,0 ГиБ",
                                         L"AMD Radeon RX 7800 XT \u00B7 DirectML \u00B7 16 ГиБ + 8 ГиБ общей"}));
}

TEST(TargetList, MemoryPartsAreLeftOutWhenZero) {
    GpuTarget noDedicated = RadeonWithSharedMemory();
    noDedicated.dedicatedMemoryBytes = 0;
    noDedicated.boardVendorId = 0;
    GpuTarget noShared = RadeonWithSharedMemory();
    noShared.sharedMemoryBytes = 0;
    GpuTarget bare = AsusRtx4090();
    bare.dedicatedMemoryBytes = 0;
    EXPECT_EQ(TargetListItems(std::vector{noDedicated, noShared, bare}, en),
              (std::vector<std::wstring>{
                  L"AMD Radeon RX 7800 XT \u00B7 board vendor unknown \u00B7 DirectML + 8 GiB shared",
                  L"AMD Radeon RX 7800 XT \u00B7 DirectML \u00B7 16 GiB", L"ASUS GeForce RTX 4090 \u00B7 cuBLAS"}));
}

TEST(TargetList, EmptyListHasOneItemAndNoTarget) {
    EXPECT_EQ(TargetListItems({}, ru), (std::vector<std::wstring>{L"Совместимые видеокарты не найдены"}));
    EXPECT_EQ(TargetListItems({}, en), (std::vector<std::wstring>{L"No compatible graphics cards found"}));
    EXPECT_EQ(SelectedTarget({}, 0), nullptr);
}

TEST(ReferenceList, NoReferenceThenTheRows) {
    const auto english = ReferenceListItems(en);
    ASSERT_EQ(english.size(), 6u);
    EXPECT_EQ(english[0], L"No reference");
    EXPECT_EQ(english[1], L"Palit GeForce RTX 4060 (Dual OC)");
    EXPECT_EQ(english[5], L"Palit GeForce RTX 4090");
    const auto russian = ReferenceListItems(ru);
    EXPECT_EQ(russian[0], L"Без эталона");
    EXPECT_EQ(russian[2], L"ASUS GeForce RTX 5070 Ti Laptop GPU");
}

TEST(ChartFilterList, RowWithoutAfterMeasurementHasOneDisabledItem) {
    for (int reference : {2, 4}) {
        const auto list = DecideChartFilterList(reference, 2, en);
        EXPECT_EQ(list.items, (std::vector<std::wstring>{L"Before removing limits"}));
        EXPECT_EQ(list.selectedIndex, 0);
        EXPECT_FALSE(list.enabled);
    }
    EXPECT_EQ(DecideChartFilterList(2, 0, ru).items, (std::vector<std::wstring>{L"До снятия ограничений"}));
}

TEST(ChartFilterList, RowWithAfterMeasurementKeepsTheRequestedIndex) {
    const auto list = DecideChartFilterList(3, 2, ru);
    EXPECT_EQ(list.items, (std::vector<std::wstring>{L"Оба замера", L"До снятия ограничений",
                                                     L"После снятия ограничений"}));
    EXPECT_EQ(list.selectedIndex, 2);
    EXPECT_TRUE(list.enabled);
    EXPECT_EQ(DecideChartFilterList(1, 1, en).items,
              (std::vector<std::wstring>{L"Both measurements", L"Before removing limits", L"After removing limits"}));
    EXPECT_EQ(DecideChartFilterList(5, -1, en).selectedIndex, 0);
    EXPECT_EQ(DecideChartFilterList(5, 3, en).selectedIndex, 0);
}

TEST(ChartFilterList, NoReferenceKeepsThreeItemsDisabled) {
    for (int reference : {0, -1}) {
        const auto list = DecideChartFilterList(reference, 1, en);
        EXPECT_EQ(list.items.size(), 3u);
        EXPECT_EQ(list.selectedIndex, 1);
        EXPECT_FALSE(list.enabled);
    }
}

}  // namespace
