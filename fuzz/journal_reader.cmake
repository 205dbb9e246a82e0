# The run journal readers (CSV), the last samples and the whole session, with inputs long enough
# for a few hundred rows.
sornafex_fuzzer(fuzz_journal_reader
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/journal_reader_fuzzer.cpp
    DEPS sornafex_recording
    ARGS -max_len=65536)
