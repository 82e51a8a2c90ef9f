# Runs one fuzz target for SECONDS on a copy of the seed corpus SEEDS, made in
# WORK, so that the seeds in the source tree are never written to. Fails, naming
# the input that crashed, when the target finds a fault.
#   cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DSECONDS=... -P run_fuzzer.cmake
foreach(variable FUZZER SEEDS WORK SECONDS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_fuzzer.cmake needs -D${variable}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/crashes")
file(COPY "${SEEDS}/" DESTINATION "${WORK}/corpus")

# -timeout: one input that takes this long counts as a hang (long enough that
# a busy machine holding the run up is not taken for one);
# -rss_limit_mb: memory beyond this counts as a fault.
execute_process(
  COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=30 -rss_limit_mb=2048
          -print_final_stats=1 "-artifact_prefix=${WORK}/crashes/" "${WORK}/corpus"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(GLOB crashes "${WORK}/crashes/*")
  message(FATAL_ERROR "${FUZZER} found a fault (exit status ${result}); input: ${crashes}")
endif()
