#pragma once
// Items of the three selection lists and the decisions that depend on their selections.

#include <span>
#include <string>
#include <vector>

#include "core/gpu_target.h"
#include "core/text_pair.h"

// The target at a target-list index; null when the index is negative or past the list.
const GpuTarget* SelectedTarget(std::span<const GpuTarget> targets, int targetIndex);

// One item per target, or the single "no compatible cards" item for an empty list.
std::vector<std::wstring> TargetListItems(std::span<const GpuTarget> targets, Language language);

// "No reference" followed by the names of the reference rows.
std::vector<std::wstring> ReferenceListItems(Language language);

struct ChartFilterList {
    std::vector<std::wstring> items;
    int selectedIndex = 0;
    bool enabled = false;
};

// The "Show on charts" list for a reference-list index, keeping the requested filter index
// where the list has it.
ChartFilterList DecideChartFilterList(int referenceIndex, int requestedFilterIndex, Language language);
