#pragma once

// The integer text syntax shared by recordings, preference values and the scale prompts:
// leading spaces (byte 32 only), then either an optional sign with decimal digits in the signed
// 32-bit range, or one of the prefixes "$", "x", "X", "0x", "0X" with one to eight hexadecimal
// digits taken as a signed 32-bit pattern; nothing may follow.

#include <cstdint>
#include <optional>
#include <string_view>

namespace sornafex {

std::optional<std::int32_t> ParseIntText(std::string_view text);

} // namespace sornafex
