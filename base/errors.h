#pragma once

// Failures are exceptions derived from std::exception; the one place that shows them to the user
// is the application-wide error box. EAbort ends a command without a word: used after a command
// showed its own message, or when the user chose "Annuler".

#include <exception>
#include <string>
#include <string_view>

namespace sornafex {

class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// The error box's text: the message with a full stop appended, unless it already ends in a full
// stop or in a character that sorts below it (a space, a line break, "!" and the like).
std::string ErrorBoxText(std::string_view message);

// The name of an exception's class as the error box of the worker component shows it.
std::string ExceptionClassName(const std::exception& error);

} // namespace sornafex
