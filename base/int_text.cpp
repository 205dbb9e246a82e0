#include "base/int_text.h"

#include <cstddef>

namespace sornafex {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::int32_t> ParseIntText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::string_view rest = text.substr(i);
    if (rest.empty())
        return std::nullopt;

    std::size_t prefix = 0;
    if (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')
        prefix = 1;
    else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'))
        prefix = 2;
    if (prefix != 0) {
        const std::string_view digits = rest.substr(prefix);
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        std::uint32_t pattern = 0;
        for (const char c : digits) {
            const int d = HexDigit(c);
            if (d < 0)
                return std::nullopt;
            pattern = (pattern << 4) | static_cast<std::uint32_t>(d);
        }
        return static_cast<std::int32_t>(pattern);
    }

    std::size_t pos = 0;
    bool negative = false;
    if (rest[0] == '+' || rest[0] == '-') {
        negative = rest[0] == '-';
        pos = 1;
    }
    if (pos == rest.size())
        return std::nullopt;
    // Accumulate as a magnitude; -2147483648 is the one value whose magnitude has no positive
    // 32-bit form, so the limit depends on the sign.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (; pos < rest.size(); ++pos) {
        const char c = rest[pos];
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

} // namespace sornafex
