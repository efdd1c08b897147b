#include "presentation/target_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr auto ru = Language::Russian;
constexpr auto en = Language::English;

GpuTarget Card(std::string name, std::uint32_t boardVendorId) {
    GpuTarget target;
    target.name = std::move(name);
    target.boardVendorId = boardVendorId;
    return target;
}

TEST(FormatTargetName, BoardMakerInFrontOfTheName) {
    EXPECT_EQ(FormatTargetName(Card("NVIDIA GeForce RTX 4090", 0x1569), en), L"Palit GeForce RTX 4090");
    EXPECT_EQ(FormatTargetName(Card("NVIDIA GeForce RTX 4090", 0x10DE), en), L"NVIDIA GeForce RTX 4090");
    EXPECT_EQ(FormatTargetName(Card("GeForce RTX 4060", 0x10DE), en), L"NVIDIA GeForce RTX 4060");
    EXPECT_EQ(FormatTargetName(Card("AMD Radeon Graphics", 0x1458), en), L"Gigabyte AMD Radeon Graphics");
    EXPECT_EQ(FormatTargetName(Card("ASUS TUF RTX 4070", 0x1043), ru), L"ASUS TUF RTX 4070");
    // Names shorter than the word are never taken as beginning with it.
    EXPECT_EQ(FormatTargetName(Card("MS", 0x1462), en), L"MSI MS");
    // The comparison is case-sensitive.
    EXPECT_EQ(FormatTargetName(Card("Asus card", 0x1043), en), L"ASUS Asus card");
    // Only the seven characters "NVIDIA " are removed, not a bare "NVIDIA".
    EXPECT_EQ(FormatTargetName(Card("NVIDIAGeForce", 0x3842), en), L"EVGA NVIDIAGeForce");
    EXPECT_EQ(FormatTargetName(Card("Intel(R) Arc(TM) A770", 0x8086), en), L"Intel(R) Arc(TM) A770");
    EXPECT_EQ(FormatTargetName(Card("", 0x19DA), en), L"ZOTAC ");
}

TEST(FormatTargetName, UnknownBoardVendorInBothLanguages) {
    EXPECT_EQ(FormatTargetName(Card("NVIDIA GeForce RTX 4060", 0), en),
              L"NVIDIA GeForce RTX 4060 \u00B7 board vendor unknown");
    EXPECT_EQ(FormatTargetName(Card("NVIDIA GeForce RTX 4060", 0), ru),
              L"NVIDIA GeForce RTX 4060 \u00B7 вендор платы неизвестен");
    EXPECT_EQ(FormatTargetName(Card("Intel(R) UHD Graphics", 0x17AA), en),
              L"Intel(R) UHD Graphics \u00B7 PCI vendor 17AA");
    EXPECT_EQ(FormatTargetName(Card("Intel(R) UHD Graphics", 0x17AA), ru),
              L"Intel(R) UHD Graphics \u00B7 вендор PCI 17AA");
    EXPECT_EQ(FormatTargetName(Card("X", 0xab), en), L"X \u00B7 PCI vendor 00AB");
}

TEST(FormatTargetName, ConvertsTheUtf8Name) {
    EXPECT_EQ(FormatTargetName(Card("NVIDIA \xD0\x9A\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0", 0x1569), ru),
              L"Palit \u041A\u0430\u0440\u0442\u0430");
}

}  // namespace
