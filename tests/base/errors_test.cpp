#include "base/errors.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace sornafex {
namespace {

TEST(ErrorBox, FullStopAppendedUnlessTheMessageEndsInOneOrBelow) {
    struct Row {
        const char* message;
        const char* shown;
    } const rows[] = {
        {"Fichier introuvable", "Fichier introuvable."},
        {"Fin.", "Fin."},
        {"Port com s\xC3\xA9lectionn\xC3\xA9 (Com 1) ferm\xC3\xA9 !",
         "Port com s\xC3\xA9lectionn\xC3\xA9 (Com 1) ferm\xC3\xA9 !"}, // '!' sorts below '.'
        {"trailing space ", "trailing space "},
        {"two lines\r", "two lines\r"},
        {"comma,", "comma,"},  // ',' sorts below '.'
        {"slash/", "slash/."}, // '/' sorts above '.'
        {"Erreur E/S 5", "Erreur E/S 5."},
        {"accent \xC3\xA9", "accent \xC3\xA9."},
        {"", "."},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ErrorBoxText(row.message), row.shown) << row.message;
}

class EMyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

TEST(ErrorBox, ClassNameWithoutNamespace) {
    EXPECT_EQ(ExceptionClassName(EMyError("x")), "EMyError");
    EXPECT_EQ(ExceptionClassName(std::runtime_error("x")), "runtime_error");
    EXPECT_EQ(ExceptionClassName(EAbort()), "EAbort");
}

} // namespace
} // namespace sornafex
