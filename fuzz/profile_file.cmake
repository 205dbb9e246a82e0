# The profile-file reader and writer.
sornafex_fuzzer(fuzz_profile_file
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_file_fuzzer.cpp
    DEPS sornafex_settings
    ARGS -max_len=65536)
