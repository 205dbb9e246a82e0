# The about box: the scrolling text's arithmetic and timer (also under the sanitizers), and the
# dialog offscreen.
sornafex_test(scroll_text_core_test SOURCES scroll_text_core_test.cpp DEPS sornafex_about_core)
sornafex_test(frmAbout_test QT SOURCES frmAbout_test.cpp
    DEPS sornafex_about sornafex_test_support Qt6::Test)
sornafex_test(frmMain_output_test QT SOURCES frmMain_output_test.cpp
    DEPS sornafex_app sornafex_test_support Qt6::Test)
