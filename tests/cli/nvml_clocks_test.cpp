#include "cli/telemetry/nvml_clocks.h"

#include <cstdio>

#include <gtest/gtest.h>

namespace cli {
namespace {

// Records every call and release; fails where a test asks it to.
struct NvmlLog {
    std::vector<std::string> calls;
};

class FakeNvml final : public NvmlClockApi {
public:
    explicit FakeNvml(NvmlLog& log) : log_(log) {}
    ~FakeNvml() override { log_.calls.push_back("unload"); }

    bool loads = true;
    int initResult = 0;
    std::string knownBusId = "00000000:65:00.0";
    int clockResult = 0;
    int powerResult = 0;
    unsigned int clock = 1980;
    unsigned long long reasons = 0x4;

    bool Load() override {
        log_.calls.push_back("load");
        return loads;
    }
    int Init() override {
        log_.calls.push_back("init");
        return initResult;
    }
    int Shutdown() override {
        log_.calls.push_back("shutdown");
        return 0;
    }
    int DeviceByPciBusId(const char* busId, Device* device) override {
        log_.calls.push_back(std::string("device ") + busId);
        if (busId != knownBusId) return 13;  // NVML_ERROR_NOT_FOUND
        *device = reinterpret_cast<Device>(&device_);
        return 0;
    }
    int SmClockMHz(Device device, unsigned int* value) override {
        EXPECT_EQ(device, reinterpret_cast<Device>(&device_));
        *value = clock;
        return clockResult;
    }
    int ClocksEventReasons(Device, unsigned long long* value) override {
        *value = reasons;
        return 0;
    }
    int PowerUsageMilliwatts(Device, unsigned int* value) override {
        *value = 215500;
        return powerResult;
    }
    int TemperatureC(Device, unsigned int* value) override {
        *value = 64;
        return 0;
    }
    int Uuid(Device, char* text, unsigned int length) override {
        std::snprintf(text, length, "GPU-0a1b2c3d-0000-4000-8000-00000000abcd");
        return 0;
    }
    int DriverVersion(char*, unsigned int) override { return 3; }  // not supported here

private:
    NvmlLog& log_;
    int device_ = 0;
};

TEST(NvmlClocksTest, MonitorsTheCardFoundByBusIdAndReleasesInReverseOrder) {
    NvmlLog log;
    auto api = std::make_unique<FakeNvml>(log);
    FakeNvml& fake = *api;
    ClockAccess access = OpenNvmlClocks(std::move(api), "00000000:65:00.0");
    ASSERT_NE(access.monitor, nullptr);
    EXPECT_EQ(access.unavailable, ClocksUnavailable::None);
    auto sample = access.monitor->Sample();
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->smClockMHz, 1980u);
    EXPECT_EQ(sample->eventReasons, 0x4u);
    EXPECT_EQ(sample->powerMilliwatts, 215500u);
    EXPECT_EQ(sample->temperatureC, 64u);
    EXPECT_EQ(access.uuid, "GPU-0a1b2c3d-0000-4000-8000-00000000abcd");
    EXPECT_TRUE(access.driverVersion.empty());  // a failed text query leaves it unknown

    fake.powerResult = 3;  // a card without power readings still gives clocks
    sample = access.monitor->Sample();
    ASSERT_TRUE(sample);
    EXPECT_FALSE(sample->powerMilliwatts);

    fake.clockResult = 3;  // one failed query gives no sample, the next may succeed
    EXPECT_FALSE(access.monitor->Sample());
    fake.clockResult = 0;
    EXPECT_TRUE(access.monitor->Sample());

    access.monitor.reset();
    EXPECT_EQ(log.calls, (std::vector<std::string>{"load", "init", "device 00000000:65:00.0", "shutdown",
                                                   "unload"}));
}

TEST(NvmlClocksTest, EachMissingPieceIsAReasonAndNothingLeaks) {
    {
        NvmlLog log;
        const ClockAccess access = OpenNvmlClocks(std::make_unique<FakeNvml>(log), "");
        EXPECT_EQ(access.monitor, nullptr);
        EXPECT_EQ(access.unavailable, ClocksUnavailable::BusIdUnknown);
        EXPECT_EQ(log.calls, std::vector<std::string>{"unload"});  // NVML never touched
    }
    {
        NvmlLog log;
        auto api = std::make_unique<FakeNvml>(log);
        api->loads = false;
        const ClockAccess access = OpenNvmlClocks(std::move(api), "00000000:65:00.0");
        EXPECT_EQ(access.unavailable, ClocksUnavailable::NvmlMissing);
        EXPECT_EQ(log.calls, (std::vector<std::string>{"load", "unload"}));
    }
    {
        NvmlLog log;
        auto api = std::make_unique<FakeNvml>(log);
        api->initResult = 9;
        const ClockAccess access = OpenNvmlClocks(std::move(api), "00000000:65:00.0");
        EXPECT_EQ(access.unavailable, ClocksUnavailable::NvmlInitFailed);
        EXPECT_EQ(access.nvmlReturnCode, 9);
        EXPECT_EQ(log.calls, (std::vector<std::string>{"load", "init", "unload"}));  // no shutdown
    }
    {
        NvmlLog log;
        const ClockAccess access = OpenNvmlClocks(std::make_unique<FakeNvml>(log), "00000000:01:00.0");
        EXPECT_EQ(access.monitor, nullptr);
        EXPECT_EQ(access.unavailable, ClocksUnavailable::NvmlDeviceNotFound);
        EXPECT_EQ(log.calls, (std::vector<std::string>{"load", "init", "device 00000000:01:00.0", "shutdown",
                                                       "unload"}));
    }
}

TEST(NvmlClocksTest, ReasonBitsGetNvmlNames) {
    EXPECT_TRUE(ClockEventReasonNames(0).empty());
    EXPECT_EQ(ClockEventReasonNames(0x1 | 0x8 | 0x100),
              (std::vector<std::string>{"gpuIdle", "hwSlowdown", "displayClockSetting"}));
    EXPECT_EQ(ClockEventReasonNames(0x20 | 0x1000), (std::vector<std::string>{"swThermalSlowdown", "0x1000"}));
}

}  // namespace
}  // namespace cli

namespace cli {
namespace {

// The system's NVML: without the library, without a device at this bus id, or failing to
// initialise, the answer is a reason and never a monitor for some other card.
TEST(NvmlClocksTest, SystemLibraryNeverMonitorsAnUnknownBusId) {
    const ClockAccess access = OpenNvmlClocks(SystemNvmlClockApi(), "00000000:FF:1F.7");
    EXPECT_EQ(access.monitor, nullptr);
    EXPECT_NE(access.unavailable, ClocksUnavailable::None);
}

}  // namespace
}  // namespace cli
