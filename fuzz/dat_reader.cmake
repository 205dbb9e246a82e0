# The recording reader, with inputs up to 4 MiB so that long lines are part of what is tried.
sornafex_fuzzer(fuzz_dat_reader
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dat_reader_fuzzer.cpp
    DEPS sornafex_recording
    ARGS -max_len=4194304)
