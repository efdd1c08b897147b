#pragma once
// A small streaming JSON writer (two-space indentation). Strings are taken as UTF-8;
// malformed sequences become U+FFFD so the document always stays valid JSON, and terminal
// controls (C0, DEL, C1, bidirectional controls) are written as \u escapes.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

class JsonWriter {
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    void Key(std::string_view key);

    void String(std::string_view utf8);
    void Number(double value);  // shortest text that reads back to the same double; null if not finite
    void Integer(std::int64_t value);
    void Unsigned(std::uint64_t value);
    void Bool(bool value);
    void Null();

    // The document; complete once every object and array has been closed.
    const std::string& Text() const { return text_; }

private:
    struct Level {
        bool isObject;
        bool empty;
    };
    void BeforeValue();
    void Open(char bracket, bool isObject);
    void Close(char bracket);
    void NewLine();

    std::string text_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

// An object of texts, its members in the order given.
void StringObject(JsonWriter& w, std::initializer_list<std::pair<std::string_view, std::string_view>> members);

// The text, or null when it is empty (unknown).
void StringOrNull(JsonWriter& w, std::string_view utf8);

// The number, or null when it is not present.
void NumberOrNull(JsonWriter& w, bool present, double value);

// Appends the JSON string literal of utf8 (quotes included) to out.
void AppendJsonString(std::string& out, std::string_view utf8);

}  // namespace cli
