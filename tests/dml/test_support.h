#pragma once
// Shared pieces of the backend's tests: fast input matrices and error capture.

#include <stdexcept>
#include <stop_token>
#include <string>

#include "core/input_matrices.h"

namespace dmltest {

// Matrices whose rows of A differ (so a block bound at the wrong offset gives a wrong product)
// and whose columns of B differ; built once, copied per run.
const gemm::InputMatrices& PatternInputs();

// A generator for the run that honours a stop request like the real one does.
gemm::InputMatrices PatternGenerator(std::stop_token stopToken);

template <class F>
std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "<no error>";
}

}  // namespace dmltest
