# The fine frequency against the simulated sensor's true change times: accuracy under timing
# jitter, a step, a ramp, and the cost per change.
sornafex_bench(analysis_bench SOURCES analysis_bench.cpp DEPS sornafex_analysis sornafex_serial)
