# The run journal: a row as the UI thread makes it, and a 10-hour journal read back.
sornafex_bench(recording_bench SOURCES recording_bench.cpp DEPS sornafex_recording)
