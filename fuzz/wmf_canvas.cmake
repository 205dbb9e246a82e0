# The metafile canvas: any sequence of drawing calls gives a well-formed placeable metafile whose
# object table is used as a player expects (no use or deletion of an object that is not there,
# no deletion of an object a device context, current or saved, still holds).
sornafex_fuzzer(fuzz_wmf_canvas
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wmf_canvas_fuzzer.cpp
    DEPS sornafex_chart_output)
