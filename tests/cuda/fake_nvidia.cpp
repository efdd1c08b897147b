#include "tests/cuda/fake_nvidia.h"

#include <algorithm>
#include <cstring>

#include "core/input_matrices.h"
#include "discovery/cuda_components.h"

namespace gemm::testing {
namespace {

constexpr std::uintptr_t kBufferSpacing = std::uintptr_t{1} << 32;

// Text and number joined by appending (GCC 12 misreports `literal + std::to_string` at -O3).
std::string Numbered(const char* text, long long number) {
    std::string joined = text;
    joined += std::to_string(number);
    return joined;
}

template <typename Handle>
Handle MakeHandle(int id) {
    return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(0x1000 + 16 * id));
}

}  // namespace

void FakeNvidia::FailCall(const std::string& name, int status, int occurrence) {
    failures_[name][occurrence] = status;
}

int FakeNvidia::CallCount(const std::string& name) const {
    const auto found = counts_.find(name);
    return found == counts_.end() ? 0 : found->second;
}

std::vector<std::string> FakeNvidia::ReleasedInReverse() const {
    return std::vector<std::string>(acquired.rbegin(), acquired.rend());
}

int FakeNvidia::Enter(const std::string& name) {
    calls.push_back(name);
    const int occurrence = ++counts_[name];
    if (onCall) onCall(name);
    const auto failure = failures_.find(name);
    if (failure == failures_.end()) return 0;
    const auto status = failure->second.find(occurrence);
    return status == failure->second.end() ? 0 : status->second;
}

void FakeNvidia::Acquire(const std::string& resource, const void* handle) {
    acquired.push_back(resource);
    handles_[handle] = {resource, true};
}

void FakeNvidia::Release(const void* handle) {
    const auto found = handles_.find(handle);
    if (found == handles_.end() || !found->second.second) {
        misuse.push_back("release of " + AddressName(handle));
        return;
    }
    found->second.second = false;
    released.push_back(found->second.first);
    const auto buffer = buffers_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (buffer != buffers_.end()) buffer->second.alive = false;
}

bool FakeNvidia::Alive(const void* handle) const {
    const auto found = handles_.find(handle);
    return found != handles_.end() && found->second.second;
}

std::string FakeNvidia::AddressName(const void* pointer) const {
    const auto found = handles_.find(pointer);
    return found == handles_.end() ? "?" : found->second.first;
}

cudaStream_t FakeNvidia::CreatedStream() const {
    for (const auto& [handle, entry] : handles_) {
        if (entry.first == "stream") return static_cast<cudaStream_t>(const_cast<void*>(handle));
    }
    return nullptr;
}

cublasHandle_t FakeNvidia::CreatedHandle() const {
    for (const auto& [handle, entry] : handles_) {
        if (entry.first == "cublas handle") {
            return static_cast<cublasHandle_t>(const_cast<void*>(handle));
        }
    }
    return nullptr;
}

FakeNvidia::Buffer* FakeNvidia::FindBuffer(const void* address, std::size_t* offset) {
    const auto value = reinterpret_cast<std::uintptr_t>(address);
    auto found = buffers_.upper_bound(value);
    if (found == buffers_.begin()) return nullptr;
    --found;
    if (value - found->first >= found->second.size) return nullptr;
    *offset = value - found->first;
    return &found->second;
}

// One element of a column-major product, in the order and precision of the CPU reference.
std::uint16_t FakeNvidia::ProductElement(const GemmCall& gemm, std::size_t index) {
    std::size_t unused = 0;
    const Buffer* a = FindBuffer(gemm.A, &unused);
    const Buffer* b = FindBuffer(gemm.B, &unused);
    const std::size_t row = index % static_cast<std::size_t>(gemm.ldc);
    const std::size_t col = index / static_cast<std::size_t>(gemm.ldc);
    float sum = 0.0f;
    for (std::size_t k = 0; k < static_cast<std::size_t>(gemm.k); ++k) {
        const std::size_t ai = row + k * static_cast<std::size_t>(gemm.lda);
        const std::size_t bi = k + col * static_cast<std::size_t>(gemm.ldb);
        const float x = a != nullptr && ai < a->elements ? HalfToFloat(a->data[ai]) : 0.0f;
        const float y = b != nullptr && bi < b->elements ? HalfToFloat(b->data[bi]) : 0.0f;
        const float product = x * y;
        sum = sum + product;
    }
    float value = gemm.alpha * sum;
    if (corruptProduct) value = value + 1.0f;
    return FloatToHalf(value);
}

int FakeNvidia::cuDriverGetVersion(int* driverVersion) {
    if (const int status = Enter("cuDriverGetVersion")) return status;
    *driverVersion = 13050;
    return 0;
}

cudaError_t FakeNvidia::cudaRuntimeGetVersion(int* runtimeVersion) {
    if (const int status = Enter("cudaRuntimeGetVersion")) return status;
    *runtimeVersion = kRequiredCudaVersion;
    return 0;
}

cudaError_t FakeNvidia::cudaGetDeviceCount(int* count) {
    if (const int status = Enter("cudaGetDeviceCount")) return status;
    *count = static_cast<int>(devices.size());
    return 0;
}

cudaError_t FakeNvidia::cudaGetDeviceProperties(cudaDeviceProp* prop, int device) {
    if (const int status = Enter("cudaGetDeviceProperties")) return status;
    if (device < 0 || device >= static_cast<int>(devices.size())) return cudaErrorInvalidDevice;
    const FakeDevice& fake = devices[static_cast<std::size_t>(device)];
    std::memset(prop->name, 0, sizeof prop->name);
    std::memcpy(prop->name, fake.name.data(), std::min(fake.name.size(), sizeof prop->name));
    prop->totalGlobalMem = fake.totalMemory;
    prop->uuid = fake.uuid;
    return 0;
}

cudaError_t FakeNvidia::cudaDeviceGetPCIBusId(char* pciBusId, int length, int device) {
    if (const int status = Enter("cudaDeviceGetPCIBusId")) return status;
    if (device < 0 || device >= static_cast<int>(devices.size())) return cudaErrorInvalidDevice;
    const FakeDevice& fake = devices[static_cast<std::size_t>(device)];
    if (!fake.hasPciBusId) return cudaErrorInvalidValue;
    if (fake.pciBusId.size() + 1 > static_cast<std::size_t>(length)) return cudaErrorInvalidValue;
    std::memcpy(pciBusId, fake.pciBusId.c_str(), fake.pciBusId.size() + 1);
    return 0;
}

cudaError_t FakeNvidia::cudaSetDevice(int device) {
    if (const int status = Enter("cudaSetDevice")) return status;
    if (device < 0 || device >= static_cast<int>(devices.size())) return cudaErrorInvalidDevice;
    currentDevice_ = device;
    return 0;
}

cudaError_t FakeNvidia::cudaMalloc(void** devicePointer, std::size_t size) {
    if (const int status = Enter("cudaMalloc")) return status;
    if (currentDevice_ < 0) misuse.push_back("cudaMalloc before cudaSetDevice");
    const int id = nextId_++;
    const std::uintptr_t address = kBufferSpacing * static_cast<std::uintptr_t>(id);
    const std::string name = Numbered("buffer ", buffers_.size() + 1);
    buffers_[address] = Buffer{name, size, true, nullptr, 0};
    *devicePointer = reinterpret_cast<void*>(address);
    Acquire(name, *devicePointer);
    return 0;
}

cudaError_t FakeNvidia::cudaFree(void* devicePointer) {
    Enter("cudaFree");
    Release(devicePointer);
    return 0;
}

cudaError_t FakeNvidia::cudaStreamCreateWithFlags(cudaStream_t* stream, unsigned int flags) {
    if (const int status = Enter("cudaStreamCreateWithFlags")) return status;
    if (flags != cudaStreamNonBlocking) misuse.push_back("stream flags");
    *stream = MakeHandle<cudaStream_t>(nextId_++);
    Acquire("stream", *stream);
    return 0;
}

cudaError_t FakeNvidia::cudaStreamDestroy(cudaStream_t stream) {
    Enter("cudaStreamDestroy");
    Release(stream);
    return 0;
}

cudaError_t FakeNvidia::cudaMemcpyAsync(void* destination, const void* source, std::size_t count,
                                        cudaMemcpyKind kind, cudaStream_t stream) {
    if (const int status = Enter("cudaMemcpyAsync")) return status;
    std::size_t offset = 0;
    Buffer* buffer = FindBuffer(destination, &offset);
    if (kind != cudaMemcpyHostToDevice || !Alive(stream) || buffer == nullptr || !buffer->alive ||
        offset != 0 || count > buffer->size || count % 2 != 0 ||
        reinterpret_cast<std::uintptr_t>(source) % 2 != 0) {
        misuse.push_back("cudaMemcpyAsync");
        return cudaErrorInvalidValue;
    }
    buffer->data = static_cast<const std::uint16_t*>(source);
    buffer->elements = count / 2;
    return 0;
}

cudaError_t FakeNvidia::cudaStreamSynchronize(cudaStream_t stream) {
    if (const int status = Enter("cudaStreamSynchronize")) return status;
    if (!Alive(stream)) misuse.push_back("cudaStreamSynchronize");
    return 0;
}

cudaError_t FakeNvidia::cudaEventCreate(cudaEvent_t* event) {
    if (const int status = Enter("cudaEventCreate")) return status;
    *event = MakeHandle<cudaEvent_t>(nextId_++);
    const int number = CallCount("cudaEventCreate");
    if (number <= 2) createdEvents[number - 1] = *event;
    Acquire(Numbered("event ", number), *event);
    return 0;
}

cudaError_t FakeNvidia::cudaEventDestroy(cudaEvent_t event) {
    Enter("cudaEventDestroy");
    Release(event);
    return 0;
}

cudaError_t FakeNvidia::cudaEventRecord(cudaEvent_t event, cudaStream_t stream) {
    if (const int status = Enter("cudaEventRecord")) return status;
    if (!Alive(event) || !Alive(stream)) misuse.push_back("cudaEventRecord");
    calls.back().append(" ").append(AddressName(event));
    return 0;
}

cudaError_t FakeNvidia::cudaEventSynchronize(cudaEvent_t event) {
    if (const int status = Enter("cudaEventSynchronize")) return status;
    if (!Alive(event)) misuse.push_back("cudaEventSynchronize");
    calls.back().append(" ").append(AddressName(event));
    return 0;
}

cudaError_t FakeNvidia::cudaEventElapsedTime(float* milliseconds, cudaEvent_t start,
                                             cudaEvent_t end) {
    if (const int status = Enter("cudaEventElapsedTime")) return status;
    if (start != createdEvents[0] || end != createdEvents[1]) misuse.push_back("event order");
    const int series = CallCount("cudaEventElapsedTime");
    *milliseconds = seriesMilliseconds[std::min(series, 5) - 1];
    return 0;
}

cudaError_t FakeNvidia::cudaMemcpy(void* destination, const void* source, std::size_t count,
                                   cudaMemcpyKind kind) {
    if (const int status = Enter("cudaMemcpy")) return status;
    std::size_t offset = 0;
    Buffer* buffer = FindBuffer(source, &offset);
    if (kind != cudaMemcpyDeviceToHost || buffer == nullptr || !buffer->alive || count != 2 ||
        offset % 2 != 0 || offset + count > buffer->size) {
        misuse.push_back("cudaMemcpy");
        return cudaErrorInvalidValue;
    }
    readBackOffsets.push_back(offset);
    std::uint16_t value = 0;
    const auto gemm = std::find_if(gemms.rbegin(), gemms.rend(), [&](const GemmCall& call) {
        std::size_t productOffset = 0;
        return FindBuffer(call.C, &productOffset) == buffer;
    });
    if (gemm != gemms.rend()) {
        value = ProductElement(*gemm, offset / 2);
    } else if (offset / 2 < buffer->elements) {
        value = buffer->data[offset / 2];
    }
    std::memcpy(destination, &value, sizeof value);
    return 0;
}

const char* FakeNvidia::cudaGetErrorString(cudaError_t error) {
    const std::string key = Numbered("cuda ", error);
    return messages_.emplace(key, Numbered("message of CUDA status ", error))
        .first->second.c_str();
}

cublasStatus_t FakeNvidia::cublasCreate_v2(cublasHandle_t* handle) {
    if (const int status = Enter("cublasCreate_v2")) return status;
    *handle = MakeHandle<cublasHandle_t>(nextId_++);
    Acquire("cublas handle", *handle);
    return 0;
}

cublasStatus_t FakeNvidia::cublasDestroy_v2(cublasHandle_t handle) {
    Enter("cublasDestroy_v2");
    Release(handle);
    return 0;
}

cublasStatus_t FakeNvidia::cublasSetStream_v2(cublasHandle_t handle, cudaStream_t stream) {
    if (const int status = Enter("cublasSetStream_v2")) return status;
    if (!Alive(handle) || !Alive(stream)) misuse.push_back("cublasSetStream_v2");
    streamBoundToHandle = stream;
    return 0;
}

cublasStatus_t FakeNvidia::cublasSetMathMode(cublasHandle_t handle, cublasMath_t mode) {
    if (const int status = Enter("cublasSetMathMode")) return status;
    if (!Alive(handle)) misuse.push_back("cublasSetMathMode");
    mathMode = mode;
    return 0;
}

cublasStatus_t FakeNvidia::cublasGemmEx(cublasHandle_t handle, cublasOperation_t transa,
                                        cublasOperation_t transb, int m, int n, int k,
                                        const void* alpha, const void* A, cudaDataType Atype,
                                        int lda, const void* B, cudaDataType Btype, int ldb,
                                        const void* beta, void* C, cudaDataType Ctype, int ldc,
                                        cublasComputeType_t computeType, cublasGemmAlgo_t algo) {
    if (const int status = Enter("cublasGemmEx")) return status;
    std::size_t offset = 0;
    if (!Alive(handle) || streamBoundToHandle == nullptr || !Alive(streamBoundToHandle) ||
        FindBuffer(A, &offset) == nullptr || FindBuffer(B, &offset) == nullptr ||
        FindBuffer(C, &offset) == nullptr) {
        misuse.push_back("cublasGemmEx");
    }
    // The scalars are host floats under the default pointer mode.
    float alphaValue = 0.0f;
    float betaValue = 0.0f;
    std::memcpy(&alphaValue, alpha, sizeof alphaValue);
    std::memcpy(&betaValue, beta, sizeof betaValue);
    gemms.push_back({handle, transa, transb, m, n, k, alphaValue, A, Atype, lda, B, Btype, ldb,
                     betaValue, C, Ctype, ldc, computeType, algo});
    return 0;
}

const char* FakeNvidia::cublasGetStatusString(cublasStatus_t status) {
    const std::string key = Numbered("cublas ", status);
    return messages_.emplace(key, Numbered("message of cuBLAS status ", status))
        .first->second.c_str();
}

cublasStatus_t FakeNvidia::cublasGetProperty(libraryPropertyType type, int* value) {
    if (const int status = Enter("cublasGetProperty")) return status;
    *value = type == MAJOR_VERSION ? 13 : 0;
    return 0;
}

NvmlLoad FakeNvidia::LoadNvml() {
    Enter("LoadNvml");
    if (nvmlLoad != NvmlLoad::Missing) Acquire("nvml library", this);
    return nvmlLoad;
}

void FakeNvidia::UnloadNvml() {
    Enter("UnloadNvml");
    Release(this);
}

nvmlReturn_t FakeNvidia::nvmlInit_v2() {
    if (const int status = Enter("nvmlInit_v2")) return status;
    if (nvmlLoad != NvmlLoad::Complete) misuse.push_back("nvmlInit_v2 without NVML");
    Acquire("nvml session", &devices);
    return 0;
}

nvmlReturn_t FakeNvidia::nvmlShutdown() {
    Enter("nvmlShutdown");
    Release(&devices);
    return 0;
}

nvmlReturn_t FakeNvidia::nvmlDeviceGetHandleByPciBusId_v2(const char* pciBusId,
                                                          nvmlDevice_t* device) {
    if (const int status = Enter("nvmlDeviceGetHandleByPciBusId_v2")) return status;
    if (!Alive(&devices)) misuse.push_back("NVML used outside its session");
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].knownToNvml && devices[i].pciBusId == pciBusId) {
            *device = MakeHandle<nvmlDevice_t>(1000 + static_cast<int>(i));
            return 0;
        }
    }
    return 6;  // not found
}

nvmlReturn_t FakeNvidia::nvmlDeviceGetPciInfo_v3(nvmlDevice_t device, nvmlPciInfo_t* pci) {
    if (const int status = Enter("nvmlDeviceGetPciInfo_v3")) return status;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (device == MakeHandle<nvmlDevice_t>(1000 + static_cast<int>(i))) {
            pci->pciSubSystemId = devices[i].pciSubSystemId;
            return 0;
        }
    }
    return 2;  // invalid argument
}

}  // namespace gemm::testing
