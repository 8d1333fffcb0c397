# Mesh builder readers: pack mesh entries behind LoadMesh, and the pack tool's OBJ, TGA and
# manifest readers.
glimmer_fuzz(fuzz_mesh_pack SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_mesh_pack.cpp LIBS glimmer_mesh
  SEEDS ${PROJECT_BINARY_DIR}/resources/meshpack.bin)
glimmer_fuzz(fuzz_mesh_sources SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_mesh_sources.cpp LIBS glimmer_compile glimmer_mesh
  SEEDS ${PROJECT_SOURCE_DIR}/content/pack)
