#pragma once
// A substitute for NVIDIA's libraries: the CUDA, cuBLAS and NVML tables in one object that
// records every call, acquisition and release, fails any call with a chosen status, and
// carries out what the logic relies on: reading back an element of a product computes it
// from the uploaded operands as cuBLAS defines it. An upload remembers where its bytes lie
// rather than copying 128 MiB: the run keeps its host matrices unchanged until it returns,
// and a run that freed them early would be caught by the sanitizer build.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cuda/nvidia_api.h"

namespace gemm::testing {

struct FakeDevice {
    std::string name;  // bytes for cudaDeviceProp::name, at most 256
    std::size_t totalMemory = 0;
    std::string pciBusId;
    bool hasPciBusId = true;
    unsigned int pciSubSystemId = 0;  // what NVML reports for that bus id
    bool knownToNvml = true;
    cudaUUID_t uuid{};
};

struct GemmCall {
    cublasHandle_t handle;
    cublasOperation_t transa, transb;
    int m, n, k;
    float alpha;
    const void* A;
    cudaDataType Atype;
    int lda;
    const void* B;
    cudaDataType Btype;
    int ldb;
    float beta;
    void* C;
    cudaDataType Ctype;
    int ldc;
    cublasComputeType_t computeType;
    cublasGemmAlgo_t algo;
};

class FakeNvidia final : public CudaRuntimeApi, public CublasApi, public NvmlApi {
public:
    // Set-up.
    std::vector<FakeDevice> devices;
    float seriesMilliseconds[5] = {250.0f, 250.0f, 250.0f, 250.0f, 250.0f};
    NvmlLoad nvmlLoad = NvmlLoad::Complete;
    bool corruptProduct = false;  // the card computes wrong elements
    // Runs at the start of every call, with the call's name, before the call takes effect.
    std::function<void(const std::string&)> onCall;
    // The n-th call (from 1) of `name` returns `status` and has no effect.
    void FailCall(const std::string& name, int status, int occurrence = 1);

    // Record.
    std::vector<std::string> calls;
    std::vector<std::string> acquired;  // "buffer 1", "stream", "cublas handle", ...
    std::vector<std::string> released;
    std::vector<std::string> misuse;    // a resource used or released when not alive
    std::vector<GemmCall> gemms;
    std::vector<std::size_t> readBackOffsets;  // byte offsets into the product's buffer
    int CallCount(const std::string& name) const;
    std::vector<std::string> ReleasedInReverse() const;  // `acquired`, reversed
    std::string AddressName(const void* pointer) const;  // "buffer 2", or "?"
    cudaStream_t CreatedStream() const;
    cublasHandle_t CreatedHandle() const;
    cudaStream_t streamBoundToHandle = nullptr;
    int mathMode = -1;
    cudaEvent_t createdEvents[2] = {};

    // CUDA.
    int cuDriverGetVersion(int* driverVersion) override;
    cudaError_t cudaRuntimeGetVersion(int* runtimeVersion) override;
    cudaError_t cudaGetDeviceCount(int* count) override;
    cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device) override;
    cudaError_t cudaDeviceGetPCIBusId(char* pciBusId, int length, int device) override;
    cudaError_t cudaSetDevice(int device) override;
    cudaError_t cudaMalloc(void** devicePointer, std::size_t size) override;
    cudaError_t cudaFree(void* devicePointer) override;
    cudaError_t cudaStreamCreateWithFlags(cudaStream_t* stream, unsigned int flags) override;
    cudaError_t cudaStreamDestroy(cudaStream_t stream) override;
    cudaError_t cudaMemcpyAsync(void* destination, const void* source, std::size_t count,
                                cudaMemcpyKind kind, cudaStream_t stream) override;
    cudaError_t cudaStreamSynchronize(cudaStream_t stream) override;
    cudaError_t cudaEventCreate(cudaEvent_t* event) override;
    cudaError_t cudaEventDestroy(cudaEvent_t event) override;
    cudaError_t cudaEventRecord(cudaEvent_t event, cudaStream_t stream) override;
    cudaError_t cudaEventSynchronize(cudaEvent_t event) override;
    cudaError_t cudaEventElapsedTime(float* milliseconds, cudaEvent_t start,
                                     cudaEvent_t end) override;
    cudaError_t cudaMemcpy(void* destination, const void* source, std::size_t count,
                           cudaMemcpyKind kind) override;
    const char* cudaGetErrorString(cudaError_t error) override;

    // cuBLAS.
    cublasStatus_t cublasCreate_v2(cublasHandle_t* handle) override;
    cublasStatus_t cublasDestroy_v2(cublasHandle_t handle) override;
    cublasStatus_t cublasSetStream_v2(cublasHandle_t handle, cudaStream_t stream) override;
    cublasStatus_t cublasSetMathMode(cublasHandle_t handle, cublasMath_t mode) override;
    cublasStatus_t cublasGemmEx(cublasHandle_t handle, cublasOperation_t transa,
                                cublasOperation_t transb, int m, int n, int k, const void* alpha,
                                const void* A, cudaDataType Atype, int lda, const void* B,
                                cudaDataType Btype, int ldb, const void* beta, void* C,
                                cudaDataType Ctype, int ldc, cublasComputeType_t computeType,
                                cublasGemmAlgo_t algo) override;
    const char* cublasGetStatusString(cublasStatus_t status) override;
    cublasStatus_t cublasGetProperty(libraryPropertyType type, int* value) override;

    // NVML.
    NvmlLoad LoadNvml() override;
    void UnloadNvml() override;
    nvmlReturn_t nvmlInit_v2() override;
    nvmlReturn_t nvmlShutdown() override;
    nvmlReturn_t nvmlDeviceGetHandleByPciBusId_v2(const char* pciBusId,
                                                  nvmlDevice_t* device) override;
    nvmlReturn_t nvmlDeviceGetPciInfo_v3(nvmlDevice_t device, nvmlPciInfo_t* pci) override;

private:
    struct Buffer {
        std::string name;
        std::size_t size = 0;
        bool alive = true;
        const std::uint16_t* data = nullptr;  // the uploaded host bytes
        std::size_t elements = 0;
    };

    int Enter(const std::string& name);
    void Acquire(const std::string& resource, const void* handle);
    void Release(const void* handle);
    bool Alive(const void* handle) const;
    Buffer* FindBuffer(const void* address, std::size_t* offset);
    std::uint16_t ProductElement(const GemmCall& gemm, std::size_t index);

    std::map<std::string, int> counts_;
    std::map<std::string, std::map<int, int>> failures_;
    std::map<std::uintptr_t, Buffer> buffers_;
    std::map<const void*, std::pair<std::string, bool>> handles_;  // name, alive
    std::map<std::string, std::string> messages_;
    int nextId_ = 1;
    int currentDevice_ = -1;
};

}  // namespace gemm::testing
