#include "cli/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace cli {
namespace {

// Length of the well-formed UTF-8 sequence at the start of text, or 0 when it is malformed
// (overlong forms, surrogates and code points above U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    while (!utf8.empty()) {
        const unsigned char c = static_cast<unsigned char>(utf8.front());
        const std::size_t length = Utf8SequenceLength(utf8);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for one malformed byte
            utf8.remove_prefix(1);
            continue;
        }
        if (c == '"') {
            out += "\\\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out.append(utf8.substr(0, length));
        }
        utf8.remove_prefix(length);
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

}  // namespace cli
