# The simulated sensor's frequency profile and the change times it gives.
sornafex_fuzzer(fuzz_sim_profile
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_profile_fuzzer.cpp
    DEPS sornafex_serial
    ARGS -max_len=16384)
