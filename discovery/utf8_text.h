#pragma once
// UTF-8 to the wide strings of TextPair (UTF-16 on Windows, code points elsewhere).

#include <string>
#include <string_view>

// Malformed sequences become U+FFFD, so any bytes give a displayable text.
std::wstring WideFromUtf8(std::string_view text);
