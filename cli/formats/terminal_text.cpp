#include "cli/formats/terminal_text.h"

#include <cstdio>

namespace cli {

Utf8CodePoint DecodeUtf8(std::string_view text) {
    if (text.empty()) return {};
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        return {lead, 1};
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, value = lead & 0x07;
    } else {
        return {};
    }
    if (text.size() < length) return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {};
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {};
    return {value, length};
}

bool IsTerminalControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string TerminalText(std::string_view text, std::size_t maxCharacters) {
    std::string shown;
    std::size_t characters = 0;
    while (!text.empty()) {
        if (characters++ == maxCharacters) return shown + "...";
        const Utf8CodePoint c = DecodeUtf8(text);
        char escape[12];
        if (c.length == 0 || c.value < 0x80) {
            const auto byte = static_cast<unsigned char>(text.front());
            if (c.length == 0 || IsTerminalControl(byte)) {
                std::snprintf(escape, sizeof escape, "\\x%02X", byte);
                shown += escape;
            } else {
                shown += text.front();
            }
            text.remove_prefix(1);
            continue;
        }
        if (IsTerminalControl(c.value)) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c.value));
            shown += escape;
        } else {
            shown.append(text.substr(0, c.length));
        }
        text.remove_prefix(c.length);
    }
    return shown;
}

std::string QuotedTerminalText(std::string_view text, std::size_t maxCharacters) {
    std::string quoted(1, '\'');
    quoted += TerminalText(text, maxCharacters);
    quoted += '\'';
    return quoted;
}

}  // namespace cli
