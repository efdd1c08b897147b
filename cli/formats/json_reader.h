#pragma once
// A strict little JSON reader: 'compare' reads result documents with it, and the tests read
// back what mivaro-cli writes. Malformed input throws std::runtime_error with the position.
// Whatever the input, the work and memory stay bounded: a document is at most 16 MiB, holds
// at most kMaxJsonValues values and nests at most 64 deep.

#include <cstddef>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cli::json {

inline constexpr std::size_t kMaxDocumentBytes = std::size_t{16} << 20;
inline constexpr std::size_t kMaxJsonValues = std::size_t{1} << 17;

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
    // Throws naming the key when it is absent.
    const Value& operator[](const std::string& key) const;
    const Value& operator[](std::size_t index) const { return AsArray().at(index); }

private:
    template <typename T>
    const T& Get(const char* expected) const {
        if (const T* value = std::get_if<T>(&data)) return *value;
        throw std::runtime_error(std::string("expected ") + expected);
    }
};

// The one JSON value the text holds, UTF-8 without a byte-order mark.
Value Parse(std::string_view text);

}  // namespace cli::json
