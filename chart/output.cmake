# Chart output: the placeable-metafile writer and canvas, the SVG canvas and the print layout
# arithmetic (standard library only), and their Qt side: bitmap, PNG, metafile, SVG, clipboard
# and printer output of the chart control with the commands' dialogs and messages.
sornafex_library(sornafex_chart_output
    SOURCES wmf_writer.cpp wmf_canvas.cpp svg_canvas.cpp print_layout.cpp
    DEPS sornafex_chart)

sornafex_library(sornafex_chart_output_qt QT
    SOURCES chart_output.cpp
    DEPS sornafex_chart_output sornafex_chart_qt sornafex_base Qt6::Gui Qt6::Widgets
         Qt6::PrintSupport)
