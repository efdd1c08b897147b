#include "discovery/utf8_text.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void Append(std::wstring& out, char32_t codePoint) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(codePoint));
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t length = 0;
        char32_t codePoint = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, codePoint = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, codePoint = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, codePoint = lead & 0x07, minimum = 0x10000;
        } else {
            Append(out, kReplacement);
            ++i;
            continue;
        }
        std::size_t used = 1;
        while (used < length && i + used < text.size() &&
               (static_cast<std::uint8_t>(text[i + used]) & 0xC0) == 0x80) {
            codePoint = (codePoint << 6) | (static_cast<std::uint8_t>(text[i + used]) & 0x3F);
            ++used;
        }
        const bool complete = used == length;
        const bool valid = complete && codePoint >= minimum && codePoint <= 0x10FFFF &&
                           !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
        Append(out, valid ? codePoint : kReplacement);
        i += used;
    }
    return out;
}
