# Runs a fuzzer for SECONDS over a fresh copy of the seeds, with any further
# libFuzzer OPTIONS (space-separated); any finding (a crash, a sanitizer
# report, a failed check, a leak) fails the test and leaves the input in
# WORK/.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
file(GLOB seeds ${SEEDS}/*)
file(COPY ${seeds} DESTINATION ${WORK}/corpus)
separate_arguments(options UNIX_COMMAND "${OPTIONS}")
execute_process(
    COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=20 -rss_limit_mb=4096
            -print_final_stats=1 -artifact_prefix=${WORK}/ ${options} ${WORK}/corpus
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the fuzzer found a fault (exit status ${status}); see ${WORK}/")
endif()
