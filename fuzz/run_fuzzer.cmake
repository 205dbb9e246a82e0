# cmake -DFUZZER=<program> -DSEEDS=<seed folder> -DWORK=<scratch folder> -DARGS=<a|b|...> -P ...
# Copies the seeds into WORK/corpus (fresh each run) and runs the fuzzer there; crash inputs land
# in WORK/artifacts. Fails when the fuzzer does.
foreach(var FUZZER SEEDS WORK)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "run_fuzzer.cmake needs -D${var}=...")
    endif()
endforeach()
string(REPLACE "|" ";" args "${ARGS}")
file(REMOVE_RECURSE ${WORK}/corpus)
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
file(GLOB seeds ${SEEDS}/*)
if(seeds)
    file(COPY ${seeds} DESTINATION ${WORK}/corpus)
endif()
execute_process(COMMAND ${FUZZER} ${args} -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus
                WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${result}); inputs in ${WORK}/artifacts")
endif()
