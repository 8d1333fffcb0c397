# Runs one fuzzer for SECONDS (or, when RUNS is given, until that many inputs ran if sooner) from
# its seeds and the corpus grown so far; fails on any finding. TIMEOUT is the seconds one input
# may take before it counts as a hang (10 unless given).
file(MAKE_DIRECTORY ${CORPUS})
foreach(seed ${SEEDS})
  if(IS_DIRECTORY ${seed})
    file(GLOB files ${seed}/*)
    foreach(f ${files})
      file(COPY ${f} DESTINATION ${CORPUS})
    endforeach()
  elseif(EXISTS ${seed})
    file(COPY ${seed} DESTINATION ${CORPUS})
  endif()
endforeach()
set(runs_arg "")
if(RUNS)
  set(runs_arg -runs=${RUNS})
endif()
if(NOT TIMEOUT)
  set(TIMEOUT 10)
endif()
execute_process(COMMAND ${FUZZER} ${CORPUS} -max_total_time=${SECONDS} -timeout=${TIMEOUT}
                        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=${CORPUS}-
                        ${runs_arg} ${DICT}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer ${FUZZER} found a problem (exit ${rc})")
endif()
