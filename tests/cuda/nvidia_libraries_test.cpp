// The program's tables over the real libraries of this machine, where they exist.

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "cuda/cuda_devices.h"
#include "cuda/cuda_gemm.h"
#include "cuda/nvidia_api.h"

namespace gemm {
namespace {

bool CudaDriverInstalled() {
    int version = 0;
    return SystemCudaRuntime().cuDriverGetVersion(&version) == 0;
}

TEST(DynamicLibrary, MissingLibrariesAndFunctionsBindNothing) {
    const DynamicLibrary missing = DynamicLibrary::LoadSystem("mivaro-no-such-library.so.1");
    EXPECT_FALSE(missing.IsLoaded());
    int (*entry)() = nullptr;
    EXPECT_FALSE(missing.Bind(entry, "anything"));
    EXPECT_EQ(entry, nullptr);

    // Only an absolute path is loaded by path, so the current directory is never searched.
    EXPECT_FALSE(DynamicLibrary::LoadFile(kCublasLibraryName).IsLoaded());
}

#ifdef _WIN32
const char kSystemLibrary[] = "kernel32.dll";
const char kSystemFunction[] = "GetTickCount";
#else
const char kSystemLibrary[] = "libm.so.6";
const char kSystemFunction[] = "cos";
#endif

TEST(BindCublasImports, ALibraryLackingTheFunctionsIsRefused) {
    DynamicLibrary library = DynamicLibrary::LoadSystem(kSystemLibrary);
    ASSERT_TRUE(library.IsLoaded());
    int (*entry)() = nullptr;
    EXPECT_TRUE(library.Bind(entry, kSystemFunction));
    EXPECT_FALSE(BindCublasImports(std::move(library)));
}

TEST(BindCublasImports, BindsTheSevenFunctionsOfTheRealCublas) {
#ifdef _WIN32
    GTEST_SKIP() << "no cuBLAS under Wine";
#else
    const std::filesystem::path path = "/usr/local/cuda/lib64/libcublas.so.13";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "skipped: " << path << " is absent";
    DynamicLibrary library = DynamicLibrary::LoadFile(path);
    ASSERT_TRUE(library.IsLoaded());
    ASSERT_TRUE(BindCublasImports(std::move(library)));

    int major = 0, minor = -1, patch = -1;
    EXPECT_EQ(SystemCublas().cublasGetProperty(MAJOR_VERSION, &major), 0);
    EXPECT_EQ(SystemCublas().cublasGetProperty(MINOR_VERSION, &minor), 0);
    EXPECT_EQ(SystemCublas().cublasGetProperty(PATCH_LEVEL, &patch), 0);
    EXPECT_EQ(major, 13);
    EXPECT_GE(minor, 0);
    EXPECT_GE(patch, 0);
    EXPECT_STREQ(SystemCublas().cublasGetStatusString(CUBLAS_STATUS_NOT_INITIALIZED),
                 "the library was not initialized");
#endif
}

TEST(SystemCudaRuntime, WithoutTheDriverLibraryEveryCallReports35) {
    if (CudaDriverInstalled()) GTEST_SKIP() << "skipped: this machine has a CUDA driver";
    CudaRuntimeApi& cuda = SystemCudaRuntime();
    int runtimeVersion = -7;
    EXPECT_EQ(cuda.cudaRuntimeGetVersion(&runtimeVersion), 35);
    EXPECT_EQ(runtimeVersion, -7);
    int count = -7;
    EXPECT_EQ(cuda.cudaGetDeviceCount(&count), 35);
    EXPECT_EQ(cuda.cudaGetErrorString(35), nullptr);

    // The product's entry points fail before doing any work.
    try {
        RunCuda(0, std::stop_token{}, [](int) {});
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cudaSetDevice: CUDA error 35");
    }
    try {
        EnumerateCudaDevices(1);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cudaGetDeviceProperties: CUDA error 35");
    }
}

}  // namespace
}  // namespace gemm
