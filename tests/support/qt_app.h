#pragma once

// GUI tests share one QApplication on the offscreen platform, created on first use.

#include <QApplication>

namespace sornafex::test {

inline QApplication& EnsureQtApp() {
    static int argc = 1;
    static char name[] = "sornafex-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: widgets that tests leave behind must not outlive their application.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

} // namespace sornafex::test
