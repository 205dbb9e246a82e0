# Chart output: the metafile writer and canvas and the print layout run everywhere (also in the
# sanitizer trees); the exports, the clipboard and printing offscreen.
sornafex_test(wmf_writer_test SOURCES wmf_writer_test.cpp DEPS sornafex_chart_output)
sornafex_test(wmf_canvas_test SOURCES wmf_canvas_test.cpp DEPS sornafex_chart_output)
sornafex_test(svg_canvas_test SOURCES svg_canvas_test.cpp DEPS sornafex_chart_output)
sornafex_test(print_layout_test SOURCES print_layout_test.cpp DEPS sornafex_chart_output)
sornafex_test(chart_output_test QT SOURCES chart_output_test.cpp
    DEPS sornafex_chart_output_qt sornafex_test_support)
