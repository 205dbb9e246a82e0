# The calibration points' text.
sornafex_fuzzer(fuzz_calibration_points
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/calibration_points_fuzzer.cpp
    DEPS sornafex_analysis
    ARGS -max_len=4096)
