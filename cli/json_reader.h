#pragma once
// A strict little JSON reader: 'compare' reads result documents with it, and the tests read
// back what mivaro-cli writes. Malformed input throws std::runtime_error with the position;
// nesting is limited so that hostile input cannot exhaust the stack.

#include <cctype>
#include <charconv>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cli::json {

struct Value;
using Object = std::map<std::string, Value>;
using Array = std::vector<Value>;

struct Value {
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>,
                 std::shared_ptr<Object>>
        data;

    bool IsNull() const { return std::holds_alternative<std::nullptr_t>(data); }
    bool IsNumber() const { return std::holds_alternative<double>(data); }
    bool IsObject() const { return std::holds_alternative<std::shared_ptr<Object>>(data); }
    // The accessors throw std::runtime_error naming the expected type on a mismatch.
    bool AsBool() const { return Get<bool>("a boolean"); }
    double AsNumber() const { return Get<double>("a number"); }
    const std::string& AsString() const { return Get<std::string>("a string"); }
    const Array& AsArray() const { return *Get<std::shared_ptr<Array>>("an array"); }
    const Object& AsObject() const { return *Get<std::shared_ptr<Object>>("an object"); }
    bool Has(const std::string& key) const { return AsObject().count(key) != 0; }
    const Value& operator[](const std::string& key) const {
        const auto& object = AsObject();
        const auto it = object.find(key);
        if (it == object.end()) throw std::runtime_error("no member '" + key + "'");
        return it->second;
    }
    const Value& operator[](std::size_t index) const { return AsArray().at(index); }

private:
    template <typename T>
    const T& Get(const char* expected) const {
        if (const T* value = std::get_if<T>(&data)) return *value;
        throw std::runtime_error(std::string("expected ") + expected);
    }
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
    struct Nesting {
        explicit Nesting(Parser& parser) : parser_(parser) {
            if (++parser_.depth_ > kMaxDepth) parser_.Fail("nested too deeply");
        }
        ~Nesting() { --parser_.depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        Parser& parser_;
    };
    static constexpr int kMaxDepth = 64;

    Value ParseValue() {
        const char c = Peek();
        if (c == '{' || c == '[') {
            const Nesting nesting(*this);
            return c == '{' ? ParseObject() : ParseArray();
        }
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
                case 'u': AppendUtf8(out, ParseEscapedCodePoint()); break;
                default: Fail("bad escape");
            }
        }
    }
    unsigned ParseHex4() {
        unsigned code = 0;
        if (text_.size() - pos_ < 4) Fail("unterminated \\u escape");
        const auto r = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, code, 16);
        if (r.ptr != text_.data() + pos_ + 4) Fail("bad \\u escape");
        pos_ += 4;
        return code;
    }
    // After "\\u": one code point, a surrogate pair joined; a lone surrogate is an error.
    char32_t ParseEscapedCodePoint() {
        const unsigned first = ParseHex4();
        if (first < 0xD800 || first > 0xDFFF) return first;
        if (first > 0xDBFF || !Literal("\\u")) Fail("lone surrogate");
        const unsigned second = ParseHex4();
        if (second < 0xDC00 || second > 0xDFFF) Fail("lone surrogate");
        return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }
    static void AppendUtf8(std::string& out, char32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
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
    int depth_ = 0;
};

inline Value Parse(std::string_view text) { return Parser(text).ParseDocument(); }

}  // namespace cli::json
