# Offline rendering through the glimmer executable: the same --frame twice gives the same bytes,
# --capture DIR writes one PNG per frame of the range, and an MP4 without ffmpeg is refused with
# a clear message.
#
# cmake -DGLIMMER=path/to/glimmer -DWORK=scratch/dir -P offline_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(rc "${rc}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

foreach(n a b)
  run("${GLIMMER}" --frame 2.5 --out "${WORK}/${n}.png" --resolution 320x240)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "--frame failed (${rc}): ${err}")
  endif()
endforeach()
file(SHA256 "${WORK}/a.png" ha)
file(SHA256 "${WORK}/b.png" hb)
if(NOT ha STREQUAL hb)
  message(FATAL_ERROR "--frame 2.5 gave different images in two runs")
endif()

run("${GLIMMER}" --capture "${WORK}/frames" --fps 10 --from 1 --to 1.3 --resolution 160x120)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "--capture DIR failed (${rc}): ${err}")
endif()
file(GLOB frames "${WORK}/frames/*.png")
list(LENGTH frames count)
if(NOT count EQUAL 4 OR NOT EXISTS "${WORK}/frames/frame-000010.png" OR NOT EXISTS "${WORK}/frames/frame-000013.png")
  message(FATAL_ERROR "--capture --fps 10 --from 1 --to 1.3 wrote ${count} frames: ${frames}")
endif()

run("${CMAKE_COMMAND}" -E env PATH=/nonexistent "${GLIMMER}" --capture "${WORK}/show.mp4" --fps 10 --to 0.5)
if(NOT rc EQUAL 1 OR NOT err MATCHES "needs ffmpeg")
  message(FATAL_ERROR "--capture FILE.mp4 without ffmpeg: rc ${rc}, stderr: ${err}")
endif()
message(STATUS "offline rendering checks passed")
