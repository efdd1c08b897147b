#include "ui/run_focus.h"

#include <gtest/gtest.h>

#include "resources/resource.h"

namespace {

TEST(RunFocus, ReturnsOnlyWhenTheUserLeftTheFocusWhereTheRunPutIt) {
    RunFocus focus;
    EXPECT_EQ(focus.TakeReturn(IDC_LANGUAGE_COMBO), std::nullopt);  // nothing was moved
    focus.Moved(IDC_RUN_BUTTON, IDC_CUDA_BUTTON);
    EXPECT_EQ(focus.TakeReturn(IDC_CUDA_BUTTON), IDC_RUN_BUTTON);
    EXPECT_EQ(focus.TakeReturn(IDC_CUDA_BUTTON), std::nullopt);  // given back once

    focus.Moved(IDC_RUN_BUTTON, IDC_CUDA_BUTTON);
    EXPECT_EQ(focus.TakeReturn(IDC_REFERENCE_COMBO), std::nullopt);  // tabbed away during the run
    focus.Moved(IDC_RUN_BUTTON, IDC_LANGUAGE_COMBO);
    EXPECT_EQ(focus.TakeReturn(0), std::nullopt);  // another window is active
    EXPECT_EQ(focus.TakeReturn(IDC_LANGUAGE_COMBO), std::nullopt);
}

}  // namespace
