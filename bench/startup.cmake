# From creating the main window to its first paint, as at program start.
sornafex_bench(startup_bench QT SOURCES startup_bench.cpp DEPS sornafex_app)
