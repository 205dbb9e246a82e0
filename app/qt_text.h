#pragma once

// The program's texts are UTF-8 bytes (the message table's among them); the toolkit's are
// QString.

#include <QString>
#include <string_view>

namespace sornafex {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace sornafex
