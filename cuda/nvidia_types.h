#pragma once
// The few types and constants of NVIDIA's CUDA Runtime, cuBLAS and NVML interfaces that this
// program uses, declared here with the values and layouts of NVIDIA's C interfaces so that no
// NVIDIA SDK is needed to build. Only what the program passes or reads is declared.

#include <cstddef>

// Opaque handles, spelled as NVIDIA's headers spell them so that a stream or event of the
// runtime is the very same pointer as the driver's.
struct CUstream_st;
struct CUevent_st;
struct cublasContext;
struct nvmlDevice_st;

namespace gemm {

// CUDA Runtime.
using cudaError_t = int;
using cudaStream_t = CUstream_st*;
using cudaEvent_t = CUevent_st*;

inline constexpr cudaError_t cudaSuccess = 0;
inline constexpr cudaError_t cudaErrorInvalidValue = 1;
inline constexpr cudaError_t cudaErrorMemoryAllocation = 2;
inline constexpr cudaError_t cudaErrorInitializationError = 3;
inline constexpr cudaError_t cudaErrorInvalidMemcpyDirection = 21;
inline constexpr cudaError_t cudaErrorInsufficientDriver = 35;
inline constexpr cudaError_t cudaErrorNoDevice = 100;
inline constexpr cudaError_t cudaErrorInvalidDevice = 101;
inline constexpr cudaError_t cudaErrorInvalidResourceHandle = 400;
inline constexpr cudaError_t cudaErrorNotReady = 600;
inline constexpr cudaError_t cudaErrorUnknown = 999;

enum cudaMemcpyKind : int { cudaMemcpyHostToDevice = 1, cudaMemcpyDeviceToHost = 2 };

inline constexpr unsigned int cudaStreamNonBlocking = 0x01;

// Device attributes (the CUDA Runtime and driver number them alike).
inline constexpr int cudaDevAttrMultiProcessorCount = 16;
inline constexpr int cudaDevAttrComputeCapabilityMajor = 75;
inline constexpr int cudaDevAttrComputeCapabilityMinor = 76;

// The 16 bytes that identify a card; all zero when unknown.
struct cudaUUID_t {
    unsigned char bytes[16];
};

// The device properties the program reads. The program's own runtime layer fills this
// record, so it holds only these members.
struct cudaDeviceProp {
    char name[256];
    std::size_t totalGlobalMem;
    cudaUUID_t uuid;
};

// cuBLAS.
using cublasHandle_t = cublasContext*;
using cublasStatus_t = int;

inline constexpr cublasStatus_t CUBLAS_STATUS_SUCCESS = 0;
inline constexpr cublasStatus_t CUBLAS_STATUS_NOT_INITIALIZED = 1;
inline constexpr cublasStatus_t CUBLAS_STATUS_ALLOC_FAILED = 3;
inline constexpr cublasStatus_t CUBLAS_STATUS_INVALID_VALUE = 7;
inline constexpr cublasStatus_t CUBLAS_STATUS_EXECUTION_FAILED = 13;

enum cublasOperation_t : int { CUBLAS_OP_N = 0 };
enum cudaDataType : int { CUDA_R_16F = 2 };
enum cublasComputeType_t : int { CUBLAS_COMPUTE_32F = 68 };
enum cublasGemmAlgo_t : int { CUBLAS_GEMM_DEFAULT = -1 };
enum cublasMath_t : int { CUBLAS_MATH_DISALLOW_REDUCED_PRECISION_REDUCTION = 16 };
enum libraryPropertyType : int { MAJOR_VERSION = 0, MINOR_VERSION = 1, PATCH_LEVEL = 2 };

// NVML.
using nvmlReturn_t = int;
using nvmlDevice_t = nvmlDevice_st*;

inline constexpr nvmlReturn_t NVML_SUCCESS = 0;

struct nvmlPciInfo_t {
    char busIdLegacy[16];
    unsigned int domain;
    unsigned int bus;
    unsigned int device;
    unsigned int pciDeviceId;
    unsigned int pciSubSystemId;
    char busId[32];
};

inline constexpr int kPciBusIdLength = 32;  // buffer for a bus id that NVML accepts

}  // namespace gemm
