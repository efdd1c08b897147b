#pragma once
// The methodology tooltip: its title and its body in both languages.

#include "core/text_pair.h"

TextPair BuildMethodologyText();

TextPair MethodologyTitle();
