# Renderer benchmarks for the CPU side of a frame: particle steps of the largest shipped pool and
# the mesh sort of a full mesh list. Whole-frame times come from `glimmer --bench`.
add_executable(render_bench ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp)
target_link_libraries(render_bench PRIVATE glimmer_options glimmer_render benchmark::benchmark)
