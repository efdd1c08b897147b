#pragma once
// The name under which a test target is shown: the card's name with the maker of its board.

#include <string>

#include "core/gpu_target.h"
#include "core/text_pair.h"

std::wstring FormatTargetName(const GpuTarget& target, Language language);
