#include "base/decimal_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sornafex {

std::optional<double> ParseFrenchDecimal(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    std::string number(text);
    std::replace(number.begin(), number.end(), ',', '.');
    double value = 0;
    const char* end = number.data() + number.size();
    const auto [at, error] = std::from_chars(number.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || at != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string FrenchDecimal(double value, int decimals, bool keepZeros) {
    // to_chars, not printf: the program's texts keep their decimal comma whatever LC_NUMERIC says.
    char text[400];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string result = error == std::errc() ? std::string(text, end) : std::string("?");
    if (!keepZeros && result.find('.') != std::string::npos) {
        result.erase(result.find_last_not_of('0') + 1);
        if (result.back() == '.')
            result.pop_back();
    }
    std::replace(result.begin(), result.end(), '.', ',');
    return result;
}

} // namespace sornafex
