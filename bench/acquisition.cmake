# Poll rate of the counting loop against the bare DCD read, and counting accuracy by frequency.
sornafex_bench(acquisition_bench SOURCES acquisition_bench.cpp DEPS sornafex_acquisition)
