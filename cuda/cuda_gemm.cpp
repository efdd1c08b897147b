#include "cuda/cuda_gemm.h"

#include <cstdint>

#include "cuda/call_checks.h"

namespace gemm {
namespace {

constexpr int kSize = BenchmarkPlan::matrixSize;
constexpr std::size_t kMatrixBytes = static_cast<std::size_t>(BenchmarkPlan::bytesPerMatrix);

// Owners of the run's CUDA and cuBLAS objects. Each acquires in its constructor, which throws
// the labelled error on failure, and releases in its destructor, ignoring the release's status.
class DeviceBuffer {
public:
    explicit DeviceBuffer(CudaRuntimeApi& cuda) : cuda_(cuda) {
        CheckCuda(cuda, cuda.cudaMalloc(&pointer_, kMatrixBytes), "cudaMalloc");
    }
    ~DeviceBuffer() { cuda_.cudaFree(pointer_); }
    DeviceBuffer(const DeviceBuffer&) = delete;
    DeviceBuffer& operator=(const DeviceBuffer&) = delete;
    void* get() const { return pointer_; }

private:
    CudaRuntimeApi& cuda_;
    void* pointer_ = nullptr;
};

class Stream {
public:
    explicit Stream(CudaRuntimeApi& cuda) : cuda_(cuda) {
        // Non-blocking: the stream does not wait for the legacy default stream.
        CheckCuda(cuda, cuda.cudaStreamCreateWithFlags(&stream_, cudaStreamNonBlocking),
                  "cudaStreamCreate");
    }
    ~Stream() { cuda_.cudaStreamDestroy(stream_); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    cudaStream_t get() const { return stream_; }

private:
    CudaRuntimeApi& cuda_;
    cudaStream_t stream_ = nullptr;
};

class CublasHandle {
public:
    explicit CublasHandle(CublasApi& cublas) : cublas_(cublas) {
        CheckCublas(cublas, cublas.cublasCreate_v2(&handle_), "cublasCreate");
    }
    ~CublasHandle() { cublas_.cublasDestroy_v2(handle_); }
    CublasHandle(const CublasHandle&) = delete;
    CublasHandle& operator=(const CublasHandle&) = delete;
    cublasHandle_t get() const { return handle_; }

private:
    CublasApi& cublas_;
    cublasHandle_t handle_ = nullptr;
};

class Event {
public:
    explicit Event(CudaRuntimeApi& cuda) : cuda_(cuda) {
        CheckCuda(cuda, cuda.cudaEventCreate(&event_), "cudaEventCreate");
    }
    ~Event() { cuda_.cudaEventDestroy(event_); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    cudaEvent_t get() const { return event_; }

private:
    CudaRuntimeApi& cuda_;
    cudaEvent_t event_ = nullptr;
};

void ThrowIfStopped(const std::stop_token& stopToken) {
    if (stopToken.stop_requested()) throw Cancelled{};
}

const void* AtByteOffset(const void* devicePointer, std::size_t offset) {
    return reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(devicePointer) + offset);
}

// The run after the device has been selected (cudaSetDevice applies to the calling thread).
BenchmarkResult RunOnSelectedDevice(CudaRuntimeApi& cuda, CublasApi& cublas, const InputMatrices& inputs,
                                    const std::stop_token& stopToken, const ProgressCallback& progress) {
    // Declared in order of acquisition, so they are released in reverse on every exit.
    const DeviceBuffer a(cuda);
    const DeviceBuffer b(cuda);
    const DeviceBuffer c(cuda);
    const Stream stream(cuda);
    const CublasHandle handle(cublas);
    const Event start(cuda);
    const Event finish(cuda);

    CheckCuda(cuda,
              cuda.cudaMemcpyAsync(a.get(), inputs.a.data(), kMatrixBytes, cudaMemcpyHostToDevice,
                                   stream.get()),
              "cudaMemcpy A");
    CheckCuda(cuda,
              cuda.cudaMemcpyAsync(b.get(), inputs.b.data(), kMatrixBytes, cudaMemcpyHostToDevice,
                                   stream.get()),
              "cudaMemcpy B");
    CheckCublas(cublas, cublas.cublasSetStream_v2(handle.get(), stream.get()), "cublasSetStream");
    // Reductions inside the multiplication keep the FP32 compute precision.
    CheckCublas(cublas,
                cublas.cublasSetMathMode(handle.get(),
                                         CUBLAS_MATH_DISALLOW_REDUCED_PRECISION_REDUCTION),
                "cublasSetMathMode");

    const float alpha = 1.0f;
    const float beta = 0.0f;
    // cuBLAS is column-major: the row-major A and B read as their transposes, so passing B's
    // buffer first computes C^T = B^T * A^T, which is the row-major C = A * B.
    const auto enqueueMultiplication = [&] {
        CheckCublas(cublas,
                    cublas.cublasGemmEx(handle.get(), CUBLAS_OP_N, CUBLAS_OP_N, kSize, kSize,
                                        kSize, &alpha, b.get(), CUDA_R_16F, kSize, a.get(),
                                        CUDA_R_16F, kSize, &beta, c.get(), CUDA_R_16F, kSize,
                                        CUBLAS_COMPUTE_32F, CUBLAS_GEMM_DEFAULT),
                    "cublasGemmEx");
    };

    progress(0);
    for (int i = 0; i < BenchmarkPlan::warmupMultiplications; ++i) {
        ThrowIfStopped(stopToken);
        enqueueMultiplication();
    }
    CheckCuda(cuda, cuda.cudaStreamSynchronize(stream.get()), "cudaStreamSynchronize warmup");

    SeriesTiming series[BenchmarkPlan::seriesCount];
    for (int k = 1; k <= BenchmarkPlan::seriesCount; ++k) {
        CheckCuda(cuda, cuda.cudaEventRecord(start.get(), stream.get()), "cudaEventRecord start");
        for (int i = 0; i < BenchmarkPlan::multiplicationsPerSeries; ++i) {
            ThrowIfStopped(stopToken);
            enqueueMultiplication();
        }
        CheckCuda(cuda, cuda.cudaEventRecord(finish.get(), stream.get()),
                  "cudaEventRecord finish");
        CheckCuda(cuda, cuda.cudaEventSynchronize(finish.get()), "cudaEventSynchronize");
        float milliseconds = 0.0f;
        CheckCuda(cuda, cuda.cudaEventElapsedTime(&milliseconds, start.get(), finish.get()),
                  "cudaEventElapsedTime");
        series[k - 1] = ToSeriesTiming(static_cast<double>(milliseconds),
                                       BenchmarkPlan::multiplicationsPerSeries);
        progress(k);
    }
    ThrowIfStopped(stopToken);

    // The last event wait has already made C complete; these copies use the default stream.
    std::uint16_t values[3] = {};
    for (int i = 0; i < 3; ++i) {
        const MatrixPosition position = kCheckedElements[i];
        const std::size_t offset =
            (static_cast<std::size_t>(position.row) * kSize + static_cast<std::size_t>(position.col)) *
            sizeof(std::uint16_t);
        CheckCuda(cuda,
                  cuda.cudaMemcpy(&values[i], AtByteOffset(c.get(), offset), sizeof(std::uint16_t),
                                  cudaMemcpyDeviceToHost),
                  "cudaMemcpy result");
    }
    return ValidatedResult(series, inputs, values);
}

}  // namespace

BenchmarkResult RunCuda(CudaRuntimeApi& cuda, CublasApi& cublas, MatrixGenerator generate,
                        int cudaOrdinal, std::stop_token stopToken,
                        const ProgressCallback& progress) {
    CheckCuda(cuda, cuda.cudaSetDevice(cudaOrdinal), "cudaSetDevice");
    const InputMatrices inputs = generate(stopToken);
    return RunOnSelectedDevice(cuda, cublas, inputs, stopToken, progress);
}

BenchmarkResult RunCuda(CudaRuntimeApi& cuda, CublasApi& cublas, const InputMatrices& inputs,
                        int cudaOrdinal, std::stop_token stopToken,
                        const ProgressCallback& progress) {
    CheckCuda(cuda, cuda.cudaSetDevice(cudaOrdinal), "cudaSetDevice");
    return RunOnSelectedDevice(cuda, cublas, inputs, stopToken, progress);
}

BenchmarkResult RunCuda(int cudaOrdinal, std::stop_token stopToken,
                        const ProgressCallback& progress) {
    return RunCuda(SystemCudaRuntime(), SystemCublas(), MakeInputMatrices, cudaOrdinal,
                   std::move(stopToken), progress);
}

BenchmarkResult RunCuda(int cudaOrdinal, const InputMatrices& inputs, std::stop_token stopToken,
                        const ProgressCallback& progress) {
    return RunCuda(SystemCudaRuntime(), SystemCublas(), inputs, cudaOrdinal, std::move(stopToken),
                   progress);
}

}  // namespace gemm
