#pragma once
// A strict little JSON reader for the tests: it parses what mivaro-cli writes back into a
// tree, so the tests check the document's structure and values rather than its spelling.

#include <cctype>
#include <charconv>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace testjson {

struct Value;
using Object = std::map<std::string, Value>;
using Array = std::vector<Value>;

struct Value {
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>,
                 std::shared_ptr<Object>>
        data;

    bool IsNull() const { return std::holds_alternative<std::nullptr_t>(data); }
    bool AsBool() const { return std::get<bool>(data); }
    double AsNumber() const { return std::get<double>(data); }
    const std::string& AsString() const { return std::get<std::string>(data); }
    const Array& AsArray() const { return *std::get<std::shared_ptr<Array>>(data); }
    const Object& AsObject() const { return *std::get<std::shared_ptr<Object>>(data); }
    bool Has(const std::string& key) const { return AsObject().count(key) != 0; }
    const Value& operator[](const std::string& key) const {
        const auto& object = AsObject();
        const auto it = object.find(key);
        if (it == object.end()) throw std::out_of_range("no member " + key);
        return it->second;
    }
    const Value& operator[](std::size_t index) const { return AsArray().at(index); }
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Value ParseDocument() {
        Value value = ParseValue();
        SkipBlanks();
        if (pos_ != text_.size()) Fail("text after the document");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
    }
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\t'))
            ++pos_;
    }
    char Peek() {
        SkipBlanks();
        if (pos_ >= text_.size()) Fail("unexpected end");
        return text_[pos_];
    }
    void Expect(char c) {
        if (Peek() != c) Fail(std::string("expected ") + c);
        ++pos_;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) == word) {
            pos_ += word.size();
            return true;
        }
        return false;
    }
    Value ParseValue() {
        const char c = Peek();
        if (c == '{') return ParseObject();
        if (c == '[') return ParseArray();
        if (c == '"') return Value{ParseString()};
        if (Literal("null")) return Value{nullptr};
        if (Literal("true")) return Value{true};
        if (Literal("false")) return Value{false};
        return ParseNumber();
    }
    Value ParseObject() {
        Expect('{');
        auto object = std::make_shared<Object>();
        if (Peek() == '}') {
            ++pos_;
            return Value{object};
        }
        for (;;) {
            if (Peek() != '"') Fail("expected a key");
            std::string key = ParseString();
            Expect(':');
            if (!object->emplace(key, ParseValue()).second) Fail("duplicate key " + key);
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            Expect('}');
            return Value{object};
        }
    }
    Value ParseArray() {
        Expect('[');
        auto array = std::make_shared<Array>();
        if (Peek() == ']') {
            ++pos_;
            return Value{array};
        }
        for (;;) {
            array->push_back(ParseValue());
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            Expect(']');
            return Value{array};
        }
    }
    std::string ParseString() {
        Expect('"');
        std::string out;
        for (;;) {
            if (pos_ >= text_.size()) Fail("unterminated string");
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Fail("raw control character");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) Fail("unterminated escape");
            const char e = text_[pos_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    unsigned code = 0;
                    const auto r = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, code, 16);
                    if (r.ptr != text_.data() + pos_ + 4 || code >= 0x80) Fail("unsupported \\u escape");
                    out += static_cast<char>(code);
                    pos_ += 4;
                    break;
                }
                default: Fail("bad escape");
            }
        }
    }
    Value ParseNumber() {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        if (pos_ >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[pos_]))) Fail("bad value");
        if (text_[pos_] == '0' && pos_ + 1 < text_.size() &&
            std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))
            Fail("leading zero");
        while (pos_ < text_.size() && (std::isdigit(static_cast<unsigned char>(text_[pos_])) ||
                                       text_[pos_] == '.' || text_[pos_] == 'e' || text_[pos_] == 'E' ||
                                       text_[pos_] == '+' || text_[pos_] == '-'))
            ++pos_;
        double value = 0;
        const auto r = std::from_chars(text_.data() + start, text_.data() + pos_, value);
        if (r.ec != std::errc{} || r.ptr != text_.data() + pos_) Fail("bad number");
        return Value{value};
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

inline Value Parse(std::string_view text) { return Parser(text).ParseDocument(); }

}  // namespace testjson
