# The examination's report of a long session printed into a PDF file.
sornafex_bench(report_bench QT SOURCES report_bench.cpp DEPS sornafex_report_qt)
