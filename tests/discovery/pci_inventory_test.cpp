#include "discovery/pci_inventory.h"

#if defined(_WIN32)
#include "discovery/pci_inventory_win.h"
#include "tests/wine_only.h"
#endif

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A registry multi-string as raw UTF-16LE bytes; each id gets its NUL, the list its final NUL.
std::vector<std::byte> MultiString(const std::vector<std::u16string>& ids, bool finalNul = true) {
    std::vector<std::byte> bytes;
    const auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<std::byte>(unit & 0xFF));
        bytes.push_back(static_cast<std::byte>(unit >> 8));
    };
    for (const auto& id : ids) {
        for (char16_t unit : id) {
            put(unit);
        }
        put(u'\0');
    }
    if (finalNul) {
        put(u'\0');
    }
    return bytes;
}

TEST(IdListHasNvidiaDisplayId, MatchesVendorAndDisplayClassOnly) {
    // Typical compatible ids of an NVIDIA display function.
    EXPECT_TRUE(IdListHasNvidiaDisplayId(MultiString(
        {u"PCI\\VEN_10DE&DEV_2684&REV_A1", u"PCI\\VEN_10DE&DEV_2684", u"PCI\\VEN_10DE&CC_030000", u"PCI\\VEN_10DE&CC_0300",
         u"PCI\\VEN_10DE", u"PCI\\CC_030000"})));
    // Lower case matches: the ids are compared upper-cased.
    EXPECT_TRUE(IdListHasNvidiaDisplayId(MultiString({u"pci\\ven_10de&cc_0300"})));
    // A 3D controller (class 03, subclass 02) is display class too.
    EXPECT_TRUE(IdListHasNvidiaDisplayId(MultiString({u"PCI\\VEN_10DE&DEV_20B0&SUBSYS_145F10DE&CC_0302"})));
    // Vendor and device part without a class part.
    EXPECT_FALSE(IdListHasNvidiaDisplayId(MultiString({u"PCI\\VEN_10DE&DEV_2684&SUBSYS_16F110DE&REV_A1"})));
    // The card's HDMI audio function (class 04).
    EXPECT_FALSE(IdListHasNvidiaDisplayId(MultiString({u"PCI\\VEN_10DE&DEV_22BA&CC_040300", u"PCI\\VEN_10DE&CC_0403"})));
    // Another vendor's display adapter, and the class part without the vendor prefix.
    EXPECT_FALSE(IdListHasNvidiaDisplayId(MultiString({u"PCI\\VEN_1002&DEV_73BF&CC_030000"})));
    EXPECT_FALSE(IdListHasNvidiaDisplayId(MultiString({u"PCI\\CC_030000&VEN_10DE&"})));
    EXPECT_FALSE(IdListHasNvidiaDisplayId(MultiString({u"XPCI\\VEN_10DE&CC_0300"})));
    EXPECT_FALSE(IdListHasNvidiaDisplayId(MultiString({u"PCI\\VEN_10DE&"})));
}

TEST(IdListHasNvidiaDisplayId, WalkEndsAtTheFirstEmptyString) {
    auto bytes = MultiString({u"PCI\\VEN_1002&CC_0300"});
    const auto nvidia = MultiString({u"PCI\\VEN_10DE&CC_0300"});
    bytes.insert(bytes.end(), nvidia.begin(), nvidia.end());  // after the list's end
    EXPECT_FALSE(IdListHasNvidiaDisplayId(bytes));
}

TEST(IdListHasNvidiaDisplayId, SafeForAnyBytes) {
    EXPECT_FALSE(IdListHasNvidiaDisplayId({}));
    EXPECT_FALSE(IdListHasNvidiaDisplayId(MultiString({})));
    const std::byte one[1] = {std::byte{'P'}};
    EXPECT_FALSE(IdListHasNvidiaDisplayId(one));
    // Missing terminators: the last id still counts.
    EXPECT_TRUE(IdListHasNvidiaDisplayId(MultiString({u"PCI\\VEN_10DE&CC_0300"}, false)));
    auto unterminated = MultiString({u"PCI\\VEN_10DE&CC_0300"}, false);
    unterminated.pop_back();  // ends in a NUL unit with no second NUL
    EXPECT_TRUE(IdListHasNvidiaDisplayId(unterminated));
    // Odd size: the dangling byte is ignored.
    auto odd = MultiString({u"PCI\\VEN_10DE&CC_0300"});
    odd.push_back(std::byte{0x41});
    EXPECT_TRUE(IdListHasNvidiaDisplayId(odd));
    // A cut in the middle of the class part.
    auto cut = MultiString({u"PCI\\VEN_10DE&CC_0300"}, false);
    cut.resize(cut.size() - 10);
    EXPECT_FALSE(IdListHasNvidiaDisplayId(cut));
}

#if defined(_WIN32)
TEST(IsNvidiaDisplayService, NameInAnyCaseAsAString) {
    EXPECT_TRUE(IsNvidiaDisplayService(REG_SZ, L"nvlddmkm"));
    EXPECT_TRUE(IsNvidiaDisplayService(REG_SZ, L"NVLDDMKM"));
    EXPECT_TRUE(IsNvidiaDisplayService(REG_SZ, L"NvLddmKm"));
    EXPECT_FALSE(IsNvidiaDisplayService(REG_SZ, L"nvlddmkm2"));
    EXPECT_FALSE(IsNvidiaDisplayService(REG_SZ, L"nvlddm"));
    EXPECT_FALSE(IsNvidiaDisplayService(REG_SZ, L"nouveau"));
    EXPECT_FALSE(IsNvidiaDisplayService(REG_SZ, L""));
    EXPECT_FALSE(IsNvidiaDisplayService(REG_MULTI_SZ, L"nvlddmkm"));
    EXPECT_FALSE(IsNvidiaDisplayService(REG_EXPAND_SZ, L"nvlddmkm"));
}

// Wine's inventory lists one PCI device of vendor 0000 without compatible ids or service.
TEST(ScanPciDisplayAdapters, WineMachineHasNoNvidiaAdapter) {
    REQUIRE_WINE("it describes the devices Wine presents");
    EXPECT_EQ(ScanPciDisplayAdapters(), (PciDisplayScan{false, false}));
}
#else
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("mivaro-sysfs-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "drivers");
        devices_ = root_ / "devices";
        std::filesystem::create_directories(devices_);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    void AddDevice(const std::string& address, const std::string& vendor, const std::string& deviceClass,
                   const std::string& driver = "") {
        const auto dir = devices_ / address;
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "vendor") << vendor << "\n";
        std::ofstream(dir / "class") << deviceClass << "\n";
        if (!driver.empty()) {
            std::filesystem::create_directories(root_ / "drivers" / driver);
            std::filesystem::create_directory_symlink(root_ / "drivers" / driver, dir / "driver");
        }
    }

    std::filesystem::path root_;
    std::filesystem::path devices_;
};

TEST_F(FakeSysfs, AmdOnly) {
    AddDevice("0000:00:00.0", "0x8086", "0x060000");
    AddDevice("0000:03:00.0", "0x1002", "0x030000", "amdgpu");
    EXPECT_EQ(ScanSysfsPciDevices(devices_), (PciDisplayScan{false, false}));
}

TEST_F(FakeSysfs, NvidiaWithoutItsDriver) {
    AddDevice("0000:01:00.0", "0x10de", "0x030000", "nouveau");
    AddDevice("0000:01:00.1", "0x10de", "0x040300", "snd_hda_intel");
    EXPECT_EQ(ScanSysfsPciDevices(devices_), (PciDisplayScan{true, false}));
}

TEST_F(FakeSysfs, SecondCardWithTheDriverCounts) {
    AddDevice("0000:01:00.0", "0x10de", "0x030200");
    AddDevice("0000:02:00.0", "0x10de", "0x030000", "nvidia");
    EXPECT_EQ(ScanSysfsPciDevices(devices_), (PciDisplayScan{true, true}));
}

TEST_F(FakeSysfs, AudioFunctionWithNvidiaDriverIsNotADisplay) {
    AddDevice("0000:01:00.1", "0x10de", "0x040300", "nvidia");
    AddDevice("0000:05:00.0", "garbage", "", "nvidia");
    EXPECT_EQ(ScanSysfsPciDevices(devices_), (PciDisplayScan{false, false}));
}

TEST_F(FakeSysfs, MissingTree) {
    EXPECT_EQ(ScanSysfsPciDevices(root_ / "absent"), (PciDisplayScan{false, false}));
}

#endif

}  // namespace
