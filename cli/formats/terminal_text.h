#pragma once
// Text from outside the program (arguments, file paths, card names, documents' texts and
// keys, error messages) as it may reach a terminal, and the UTF-8 scanning that decides it.

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace cli {

// The code point at the start of text and the bytes it takes; length 0 when the bytes there
// are not well-formed UTF-8 (overlong forms, surrogates and values past U+10FFFF included).
struct Utf8CodePoint {
    char32_t value = 0;
    std::size_t length = 0;
};
Utf8CodePoint DecodeUtf8(std::string_view text);

// Characters a terminal would act on instead of showing: C0 and C1 controls, DEL, and the
// bidirectional embeddings, overrides and isolates (U+202A-U+202E, U+2066-U+2069).
bool IsTerminalControl(char32_t codePoint);

// The text with every terminal control written as an escape (\x1B for a byte below 0x80,
// \u202E above) and every byte that is not UTF-8 as \xNN; all other characters, backslashes
// and Cyrillic included, as they are. Cut after maxCharacters characters, marked with "...".
std::string TerminalText(std::string_view text,
                         std::size_t maxCharacters = std::numeric_limits<std::size_t>::max());

// The same in single quotes, as messages name a file, an argument or a field.
std::string QuotedTerminalText(std::string_view text,
                               std::size_t maxCharacters = std::numeric_limits<std::size_t>::max());

}  // namespace cli
