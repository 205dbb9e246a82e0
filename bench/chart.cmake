# Drawing the chart and the cost of one sample on the UI thread, with and without the journal.
sornafex_bench(chart_bench QT SOURCES chart_bench.cpp DEPS sornafex_chart_qt sornafex_recording)
