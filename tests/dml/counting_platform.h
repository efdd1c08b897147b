#pragma once
// The real calls, with every object handed out and given back counted, so a test can see
// that a run built what it should and released all of it.

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/gpu_target.h"
#include "dml/directml_run.h"
#include "dml/win32_platform.h"

class CountingPlatform : public gemm::Win32DmlPlatform {
public:
    using Handle = gemm::Handle;
    using HResult = gemm::HResult;

    std::map<std::string, int> created;  // by call name
    std::set<Handle> live;
    std::vector<std::string> errors;  // double releases and the like
    std::vector<std::string> events;  // "load", "free", "release"

    Handle LoadDirectMl() override {
        return Note("LoadDirectMl", Win32DmlPlatform::LoadDirectMl());
    }
    void FreeLibrary(Handle library) override {
        Give(library);
        events.push_back("free");
        Win32DmlPlatform::FreeLibrary(library);
    }
    Handle CreateFenceEvent() override {
        return Note("CreateFenceEvent", Win32DmlPlatform::CreateFenceEvent());
    }
    void CloseEvent(Handle event) override {
        Give(event);
        Win32DmlPlatform::CloseEvent(event);
    }
    void Release(Handle object) override {
        Give(object);
        events.push_back("release");
        Win32DmlPlatform::Release(object);
    }

#define COUNTED(name, params, args)                     \
    HResult name params override {                      \
        const HResult hr = Win32DmlPlatform::name args; \
        if (hr >= 0) Note(#name, *out);                 \
        return hr;                                      \
    }
    COUNTED(CreateDxgiFactory, (Handle * out), (out))
    COUNTED(EnumAdapters, (Handle f, std::uint32_t i, Handle* out), (f, i, out))
    COUNTED(EnumAdapterByLuid, (Handle f, AdapterLuid l, Handle* out), (f, l, out))
    COUNTED(CreateDevice, (Handle a, Handle* out), (a, out))
    COUNTED(CreateCommandQueue, (Handle d, Handle* out), (d, out))
    COUNTED(CreateCommandAllocator, (Handle d, Handle* out), (d, out))
    COUNTED(CreateCommandList, (Handle d, Handle a, Handle* out), (d, a, out))
    COUNTED(CreateFence, (Handle d, Handle* out), (d, out))
    COUNTED(CreateCommittedBuffer, (Handle d, const gemm::BufferDesc& b, Handle* out), (d, b, out))
    COUNTED(CreateDescriptorHeap, (Handle d, std::uint32_t n, Handle* out), (d, n, out))
    COUNTED(CreateTimestampQueryHeap, (Handle d, std::uint32_t n, Handle* out), (d, n, out))
    COUNTED(DmlCreateDevice, (Handle c, Handle d, Handle* out), (c, d, out))
    COUNTED(CreateGemmOperator, (Handle d, const gemm::GemmDesc& g, Handle* out), (d, g, out))
    COUNTED(CompileOperator, (Handle d, Handle o, std::uint32_t f, Handle* out), (d, o, f, out))
    COUNTED(CreateOperatorInitializer, (Handle d, Handle c, Handle* out), (d, c, out))
    COUNTED(CreateCommandRecorder, (Handle d, Handle* out), (d, out))
    COUNTED(CreateBindingTable,
            (Handle d, Handle x, gemm::DescriptorHandles s, std::uint32_t n, Handle* out),
            (d, x, s, n, out))
#undef COUNTED

private:
    Handle Note(const char* call, Handle handle) {
        if (handle != 0) {
            ++created[call];
            if (!live.insert(handle).second) errors.push_back(std::string("reused ") + call);
        }
        return handle;
    }
    void Give(Handle handle) {
        if (live.erase(handle) != 1) errors.push_back("released an object that was not live");
    }
};

// What a run had built when it reported its first progress, where it was stopped.
struct StoppedRun {
    std::vector<int> progress;
    std::map<std::string, int> createdAtStart;
    std::size_t liveAtStart = 0;
};

// Runs the benchmark with the product's inputs, stops it at its first progress report and
// expects the stop to end it; atStart notes more of the platform at that moment.
inline StoppedRun RunStoppedAtFirstProgress(CountingPlatform& platform, const AdapterLuid& adapter,
                                            const std::function<void()>& atStart = {}) {
    StoppedRun run;
    std::stop_source stop;
    gemm::AbandonedAdapters abandoned;
    EXPECT_THROW(gemm::RunDirectMl(
                     platform, adapter, stop.get_token(),
                     [&](int value) {
                         run.progress.push_back(value);
                         run.createdAtStart = platform.created;
                         run.liveAtStart = platform.live.size();
                         if (atStart) atStart();
                         stop.request_stop();
                     },
                     gemm::MakeInputMatrices, abandoned),
                 gemm::Cancelled);
    return run;
}
