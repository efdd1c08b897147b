#include "ui/run_focus.h"

#include <gtest/gtest.h>

#include "resources/resource.h"

namespace {

TEST(RunFocus, ReturnsOnlyWhenTheUserLeftTheFocusWhereTheRunPutIt) {
    RunFocus focus;
    EXPECT_FALSE(focus.Pending());
    EXPECT_EQ(focus.TakeReturn(IDC_LANGUAGE_COMBO, false), std::nullopt);  // nothing was moved
    focus.Moved(IDC_RUN_BUTTON, IDC_CUDA_BUTTON);
    EXPECT_TRUE(focus.Pending());
    EXPECT_EQ(focus.TakeReturn(IDC_CUDA_BUTTON, false), IDC_RUN_BUTTON);
    EXPECT_FALSE(focus.Pending());
    EXPECT_EQ(focus.TakeReturn(IDC_CUDA_BUTTON, false), std::nullopt);  // given back once

    focus.Moved(IDC_RUN_BUTTON, IDC_CUDA_BUTTON);
    EXPECT_EQ(focus.TakeReturn(IDC_REFERENCE_COMBO, false), std::nullopt);  // tabbed away during the run
    focus.Moved(IDC_RUN_BUTTON, IDC_LANGUAGE_COMBO);
    EXPECT_EQ(focus.TakeReturn(0, false), std::nullopt);  // no control has the focus
    EXPECT_EQ(focus.TakeReturn(IDC_LANGUAGE_COMBO, false), std::nullopt);
    // The user opened the list of the control the focus was parked on: it stays with them.
    focus.Moved(IDC_RUN_BUTTON, IDC_LANGUAGE_COMBO);
    EXPECT_EQ(focus.TakeReturn(IDC_LANGUAGE_COMBO, true), std::nullopt);
    EXPECT_FALSE(focus.Pending());
}

}  // namespace
