# Runs one fuzzer for SECONDS from its seeds and the corpus grown so far; fails on any finding.
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
execute_process(COMMAND ${FUZZER} ${CORPUS} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
                        -print_final_stats=1 ${DICT}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer ${FUZZER} found a problem (exit ${rc})")
endif()
