# Mesh builder benchmarks: generators, modifiers, smooth normals (linear and pairwise), pack
# loading, render data and outline glyphs at the largest sizes the show uses.
add_executable(mesh_bench ${CMAKE_CURRENT_LIST_DIR}/mesh_bench.cpp)
target_link_libraries(mesh_bench PRIVATE glimmer_options glimmer_mesh benchmark::benchmark)
