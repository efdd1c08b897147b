#include "cli/formats/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "cli/formats/terminal_text.h"

namespace cli {

void AppendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    while (!utf8.empty()) {
        const Utf8CodePoint c = DecodeUtf8(utf8);
        if (c.length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for one malformed byte
            utf8.remove_prefix(1);
            continue;
        }
        if (c.value == '"') {
            out += "\\\"";
        } else if (c.value == '\\') {
            out += "\\\\";
        } else if (c.value == '\n') {
            out += "\\n";
        } else if (c.value == '\r') {
            out += "\\r";
        } else if (c.value == '\t') {
            out += "\\t";
        } else if (IsTerminalControl(c.value)) {
            // Escaped, so that a document shown on a terminal cannot control it.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c.value));
            out += escaped;
        } else {
            out.append(utf8.substr(0, c.length));
        }
        utf8.remove_prefix(c.length);
    }
    out += '"';
}

void JsonWriter::NewLine() {
    text_ += '\n';
    text_.append(levels_.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!levels_.empty()) {
        if (levels_.back().isObject) {
            throw std::logic_error("JSON object member without a key");
        }
        if (!levels_.back().empty) {
            text_ += ',';
        }
        levels_.back().empty = false;
        NewLine();
    } else if (!text_.empty()) {
        throw std::logic_error("second JSON document");
    }
}

void JsonWriter::Open(char bracket, bool isObject) {
    BeforeValue();
    text_ += bracket;
    levels_.push_back({isObject, true});
}

void JsonWriter::Close(char bracket) {
    if (levels_.empty() || levels_.back().isObject != (bracket == '}') || afterKey_) {
        throw std::logic_error("unbalanced JSON document");
    }
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) {
        NewLine();
    }
    text_ += bracket;
    if (levels_.empty()) {
        text_ += '\n';
    }
}

void JsonWriter::BeginObject() { Open('{', true); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('[', false); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::string_view key) {
    if (levels_.empty() || !levels_.back().isObject || afterKey_) {
        throw std::logic_error("JSON key outside an object");
    }
    if (!levels_.back().empty) {
        text_ += ',';
    }
    levels_.back().empty = false;
    NewLine();
    AppendJsonString(text_, key);
    text_ += ": ";
    afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    AppendJsonString(text_, utf8);
}

void JsonWriter::Number(double value) {
    if (!std::isfinite(value)) {
        Null();
        return;
    }
    BeforeValue();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text_.append(buffer, result.ptr);
}

void JsonWriter::Integer(std::int64_t value) {
    BeforeValue();
    text_ += std::to_string(value);
}

void JsonWriter::Unsigned(std::uint64_t value) {
    BeforeValue();
    text_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
    BeforeValue();
    text_ += "null";
}

void StringObject(JsonWriter& w, std::initializer_list<std::pair<std::string_view, std::string_view>> members) {
    w.BeginObject();
    for (const auto& [key, value] : members) {
        w.Key(key);
        w.String(value);
    }
    w.EndObject();
}

void StringOrNull(JsonWriter& w, std::string_view utf8) {
    if (utf8.empty()) {
        w.Null();
    } else {
        w.String(utf8);
    }
}

void NumberOrNull(JsonWriter& w, bool present, double value) {
    if (present) {
        w.Number(value);
    } else {
        w.Null();
    }
}

}  // namespace cli
