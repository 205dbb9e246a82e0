# Drawing the chart and the cost of one sample on the UI thread.
sornafex_bench(chart_bench QT SOURCES chart_bench.cpp DEPS sornafex_chart_qt)
