// The JSON reader of 'compare': any bytes either parse or throw std::runtime_error, and what
// parsed, written out again by the document writer, reads back as the same value.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

#include "cli/formats/json_reader.h"
#include "cli/formats/json_writer.h"

namespace {

using cli::json::Value;

void Write(cli::JsonWriter& w, const Value& value) {
    if (value.IsNull()) {
        w.Null();
    } else if (const bool* flag = std::get_if<bool>(&value.data)) {
        w.Bool(*flag);
    } else if (value.IsNumber()) {
        w.Number(value.AsNumber());
    } else if (const std::string* text = std::get_if<std::string>(&value.data)) {
        w.String(*text);
    } else if (value.IsObject()) {
        w.BeginObject();
        for (const auto& [key, member] : value.AsObject()) {
            w.Key(key);
            Write(w, member);
        }
        w.EndObject();
    } else {
        w.BeginArray();
        for (const Value& item : value.AsArray()) Write(w, item);
        w.EndArray();
    }
}

bool Same(const Value& a, const Value& b) {
    if (a.data.index() != b.data.index()) return false;
    if (a.IsObject()) {
        const auto& x = a.AsObject();
        const auto& y = b.AsObject();
        if (x.size() != y.size()) return false;
        for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j) {
            if (i->first != j->first || !Same(i->second, j->second)) return false;
        }
        return true;
    }
    if (std::holds_alternative<std::shared_ptr<cli::json::Array>>(a.data)) {
        const auto& x = a.AsArray();
        const auto& y = b.AsArray();
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (!Same(x[i], y[i])) return false;
        }
        return true;
    }
    if (a.IsNumber()) return a.AsNumber() == b.AsNumber() && std::signbit(a.AsNumber()) == std::signbit(b.AsNumber());
    return a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Value parsed;
    try {
        parsed = cli::json::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const std::runtime_error&) {
        return 0;  // refused, as malformed input must be
    }
    cli::JsonWriter writer;
    Write(writer, parsed);
    if (!Same(cli::json::Parse(writer.Text()), parsed)) std::abort();
    return 0;
}
