# The about box: the scrolling text's arithmetic and timer thread (standard library only, so the
# thread runs under ThreadSanitizer), and the dialog itself.
sornafex_library(sornafex_about_core
    SOURCES scroll_text_core.cpp
    DEPS sornafex_base)

sornafex_library(sornafex_about QT
    SOURCES frmAbout.cpp frmAbout.h
    DEPS sornafex_about_core Qt6::Widgets)
