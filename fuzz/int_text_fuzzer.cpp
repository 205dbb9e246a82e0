// Any text: ParseIntText agrees with a plain second reading of the syntax, and every value it
// gives reads back the same from its decimal text.

#include "base/int_text.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool AllOf(std::string_view text, bool (*accept)(char)) {
    for (const char c : text)
        if (!accept(c))
            return false;
    return true;
}

bool IsDecimal(char c) {
    return c >= '0' && c <= '9';
}
bool IsHex(char c) {
    return IsDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The syntax read another way: by form, with the standard library doing the arithmetic.
std::optional<std::int32_t> Reference(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    std::size_t prefix = 0;
    if (text.starts_with("0x") || text.starts_with("0X"))
        prefix = 2;
    else if (text.starts_with("$") || text.starts_with("x") || text.starts_with("X"))
        prefix = 1;
    if (prefix != 0) {
        const std::string_view digits = text.substr(prefix);
        if (digits.empty() || digits.size() > 8 || !AllOf(digits, IsHex))
            return std::nullopt;
        std::uint32_t pattern = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), pattern, 16);
        return static_cast<std::int32_t>(pattern);
    }
    bool negative = false;
    if (text.starts_with("+") || text.starts_with("-")) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !AllOf(text, IsDecimal))
        return std::nullopt;
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    if (text.size() > 10)
        return std::nullopt;
    std::int64_t magnitude = 0;
    std::from_chars(text.data(), text.data() + text.size(), magnitude);
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = sornafex::ParseIntText(text);
    if (value != Reference(text))
        __builtin_trap();
    if (value && sornafex::ParseIntText(std::to_string(*value)) != value)
        __builtin_trap();
    return 0;
}
