# Packs the placeholder content, builds the meshes of data/meshes.scene with glimmerc and checks
# the OBJ dumps: pool counts per mesh, and that a dumped pack mesh packs and loads back.
# Variables: GLIMMERC, SOURCE_DIR, WORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}):\n${out}\n${err}")
  endif()
endfunction()
function(expect_header file text)
  file(STRINGS ${file} first LIMIT_COUNT 1)
  string(FIND "${first}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file}: header '${first}' lacks '${text}'")
  endif()
endfunction()

run(${GLIMMERC} pack build ${SOURCE_DIR}/content/pack/pack.manifest -o ${WORK}/pack.bin)
run(${GLIMMERC} meshes ${SOURCE_DIR}/tests/mesh/data/meshes.scene --pack ${WORK}/pack.bin -o ${WORK}/out)
expect_header(${WORK}/out/000-grid.obj "15 positions, 15 texture coordinates, 15 normals, 16 triangles")
expect_header(${WORK}/out/001-sphere.obj "14 positions, 25 texture coordinates, 1 normals, 18 triangles")
expect_header(${WORK}/out/002-tube.obj "8 positions, 10 texture coordinates, 8 normals, 8 triangles")
expect_header(${WORK}/out/003-box.obj "20 positions, 20 texture coordinates, 1 normals, 12 triangles")
expect_header(${WORK}/out/004-torus.obj "153 positions, 153 texture coordinates, 153 normals, 256 triangles")
expect_header(${WORK}/out/005-title.obj "outline text \"glimmer\"")

# The dumped torus (one texture coordinate per position, v == vt in every corner) packs again
# into the same entry bytes.
file(WRITE ${WORK}/again.manifest "mesh torus.msh out/004-torus.obj\n")
run(${GLIMMERC} pack build ${WORK}/again.manifest -o ${WORK}/again.bin)
file(READ ${WORK}/pack.bin whole HEX)
file(READ ${WORK}/again.bin again HEX)
string(FIND "${whole}" "${again}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the repacked torus differs from the original entry")
endif()

# pack list names every entry with its kind and size.
execute_process(COMMAND ${GLIMMERC} pack list ${WORK}/pack.bin RESULT_VARIABLE rc OUTPUT_VARIABLE listing)
if(NOT rc EQUAL 0 OR NOT listing MATCHES "torus.msh +4604 +mesh 153 vertices 768 indices")
  message(FATAL_ERROR "pack list gave (${rc}):\n${listing}")
endif()
