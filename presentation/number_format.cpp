#include "presentation/number_format.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <system_error>

namespace {

// std::to_chars is exact and locale-independent, unlike printf in some C runtimes.
std::string FixedText(double value, int decimals) {
    const int precision = std::max(decimals, 0);
    std::string buffer(64, '\0');
    for (;;) {
        const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                             std::chars_format::fixed, precision);
        if (ec == std::errc{}) {
            buffer.resize(static_cast<std::size_t>(end - buffer.data()));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring Localise(std::string_view ascii, Language language) {
    std::wstring out(ascii.begin(), ascii.end());
    if (language == Language::Russian) std::replace(out.begin(), out.end(), L'.', L',');
    return out;
}

}  // namespace

std::wstring FormatDecimal(double value, int decimals, Language language) {
    return Localise(FixedText(value, decimals), language);
}

std::wstring FormatSignedDecimal(double value, int decimals, Language language) {
    std::string text = FixedText(value, decimals);
    if (text.empty() || text.front() != '-') text.insert(text.begin(), '+');
    return Localise(text, language);
}

std::wstring FormatGibibytes(std::uint64_t bytes, int decimals, Language language) {
    return FormatDecimal(static_cast<double>(bytes) * 0x1p-30, decimals, language);
}

std::wstring FormatCount(std::uint64_t value) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

int MulDivRound(int a, int b, int c) {
    if (c == 0) return -1;
    const std::int64_t product = std::int64_t{a} * std::int64_t{b};
    std::int64_t quotient = product / c;
    const std::int64_t remainder = product % c;
    if (2 * std::llabs(remainder) >= std::llabs(std::int64_t{c})) {
        quotient += ((product < 0) != (c < 0)) ? -1 : 1;
    }
    if (quotient < std::numeric_limits<int>::min() || quotient > std::numeric_limits<int>::max()) {
        return -1;
    }
    return static_cast<int>(quotient);
}
