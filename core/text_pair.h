#pragma once
// The user-interface language and a text held in both languages.
// Texts are wide strings: UTF-16 on Windows, the same code points on Linux.

#include <cstdint>
#include <string>

enum class Language : std::int32_t { Russian = 0, English = 1 };

struct TextPair {
    std::wstring ru;
    std::wstring en;

    // English only for Language::English; Russian for any other value.
    const std::wstring& Get(Language language) const {
        return language == Language::English ? en : ru;
    }

    friend bool operator==(const TextPair&, const TextPair&) = default;
};
