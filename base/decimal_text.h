#pragma once

// Decimal numbers as a French user reads and types them: a decimal comma, a point accepted too.

#include <optional>
#include <string>
#include <string_view>

namespace sornafex {

// "4,7", "4.7", "-0,25", blanks around allowed; none for anything else, and for what is not a
// finite number.
std::optional<double> ParseFrenchDecimal(std::string_view text);
// value with the decimal comma, rounded to `decimals` places; trailing zeros (and a trailing
// comma) dropped unless keepZeros: "4,7", "50,237".
std::string FrenchDecimal(double value, int decimals, bool keepZeros = false);

} // namespace sornafex
