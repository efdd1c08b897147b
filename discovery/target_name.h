#pragma once
// The name under which a test target is shown: the card's name with the maker of its board.

#include <string>

#include "discovery/gpu_target.h"
#include "presentation/text_pair.h"

std::wstring FormatTargetName(const GpuTarget& target, Language language);
