#include "cli/formats/json_reader.h"

#include <charconv>

#include "cli/formats/terminal_text.h"
#include "core/utf8.h"

namespace cli::json {
namespace {

constexpr int kMaxDepth = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Value ParseDocument() {
        if (text_.size() > kMaxDocumentBytes) {
            throw std::runtime_error("larger than 16 MiB; a result document is a few kilobytes");
        }
        Value value = ParseValue();
        SkipBlanks();
        if (pos_ != text_.size()) Fail("text after the document");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
    }
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' ||
                                       text_[pos_] == '\t'))
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
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    Value ParseValue() {
        if (++values_ > kMaxJsonValues) Fail("more than " + std::to_string(kMaxJsonValues) + " values");
        const char c = Peek();
        if (c == '{' || c == '[') {
            if (++depth_ > kMaxDepth) Fail("nested too deeply");
            Value value = c == '{' ? ParseObject() : ParseArray();
            --depth_;
            return value;
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
            if (!object->emplace(key, ParseValue()).second) Fail("duplicate key " + QuotedTerminalText(key, 40));
            if (Peek() != ',') break;
            ++pos_;
        }
        Expect('}');
        return Value{object};
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
            if (Peek() != ',') break;
            ++pos_;
        }
        Expect(']');
        return Value{array};
    }
    std::string ParseString() {
        Expect('"');
        std::string out;
        for (;;) {
            if (pos_ >= text_.size()) Fail("unterminated string");
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) Fail("raw control character");
            if (c != '\\' && static_cast<unsigned char>(c) < 0x80) {  // plain ASCII, the common case
                std::size_t end = pos_ + 1;
                while (end < text_.size() && text_[end] != '"' && text_[end] != '\\' &&
                       static_cast<unsigned char>(text_[end]) >= 0x20 && static_cast<unsigned char>(text_[end]) < 0x80) {
                    ++end;
                }
                out.append(text_.substr(pos_, end - pos_));
                pos_ = end;
                continue;
            }
            if (c != '\\') {
                const Utf8CodePoint code = DecodeUtf8(text_.substr(pos_));
                if (code.length == 0) Fail("text that is not UTF-8");
                out.append(text_.substr(pos_, code.length));
                pos_ += code.length;
                continue;
            }
            if (++pos_ >= text_.size()) Fail("unterminated escape");
            switch (text_[pos_++]) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': utf8_detail::AppendUtf8(out, ParseEscapedCodePoint()); break;
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
    // After "\u": one code point, a surrogate pair joined; a lone surrogate is an error.
    char32_t ParseEscapedCodePoint() {
        const unsigned first = ParseHex4();
        if (first < 0xD800 || first > 0xDFFF) return first;
        if (first > 0xDBFF || !Literal("\\u")) Fail("lone surrogate");
        const unsigned second = ParseHex4();
        if (second < 0xDC00 || second > 0xDFFF) Fail("lone surrogate");
        return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }
    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    Value ParseNumber() {
        const std::size_t start = pos_;
        const auto digits = [&] {
            const std::size_t first = pos_;
            while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
            return pos_ - first;
        };
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        const std::size_t integerStart = pos_;
        const std::size_t integerDigits = digits();
        if (integerDigits == 0) Fail("bad value");
        if (integerDigits > 1 && text_[integerStart] == '0') Fail("leading zero");
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (digits() == 0) Fail("bad number");
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (digits() == 0) Fail("bad number");
        }
        double value = 0;
        const auto r = std::from_chars(text_.data() + start, text_.data() + pos_, value);
        if (r.ec != std::errc{} || r.ptr != text_.data() + pos_) Fail("number out of range");
        return Value{value};
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t values_ = 0;
    int depth_ = 0;
};

}  // namespace

const Value& Value::operator[](const std::string& key) const {
    const Object& object = AsObject();
    const auto it = object.find(key);
    if (it == object.end()) throw std::runtime_error("no member '" + key + "'");
    return it->second;
}

Value Parse(std::string_view text) { return Parser(text).ParseDocument(); }

}  // namespace cli::json
