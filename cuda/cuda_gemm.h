#pragma once
// The benchmark run on one NVIDIA card: cuBLAS multiplies the two FP16 matrices with FP32
// computation, CUDA events on the run's stream time each series, and three elements of the
// product are checked on the CPU.

#include <stop_token>

#include "core/benchmark.h"
#include "core/input_matrices.h"
#include "cuda/nvidia_api.h"

namespace gemm {

// Runs the plan on the card with this CUDA ordinal through the program's CUDA and cuBLAS
// tables. Keeps the backend contract: progress 0 before the warm-up and k after series k,
// gemm::Cancelled at a stop request, std::runtime_error ("label: message") on failure.
BenchmarkResult RunCuda(int cudaOrdinal, std::stop_token stopToken,
                        const ProgressCallback& progress);

// The same run over the given tables and matrix generator (the program passes
// gemm::MakeInputMatrices).
using MatrixGenerator = InputMatrices (*)(std::stop_token stopToken);
BenchmarkResult RunCuda(CudaRuntimeApi& cuda, CublasApi& cublas, MatrixGenerator generate,
                        int cudaOrdinal, std::stop_token stopToken,
                        const ProgressCallback& progress);

// The same run on matrices the caller made once for several cards: they are only read (each
// run uploads its own copy), so runs on other threads may share them.
BenchmarkResult RunCuda(int cudaOrdinal, const InputMatrices& inputs, std::stop_token stopToken,
                        const ProgressCallback& progress);
BenchmarkResult RunCuda(CudaRuntimeApi& cuda, CublasApi& cublas, const InputMatrices& inputs,
                        int cudaOrdinal, std::stop_token stopToken,
                        const ProgressCallback& progress);

}  // namespace gemm
