# The integer text syntax.
sornafex_fuzzer(fuzz_int_text
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/int_text_fuzzer.cpp
    DEPS sornafex_base)
