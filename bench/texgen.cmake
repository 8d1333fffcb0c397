# Texture generator benchmarks: every operator at 256 and 512, and whole texture sets.
add_executable(texgen_bench ${CMAKE_CURRENT_LIST_DIR}/texgen_bench.cpp)
target_link_libraries(texgen_bench PRIVATE glimmer_options glimmer_texgen glimmer_compile benchmark::benchmark)
target_compile_definitions(texgen_bench PRIVATE GLIMMER_CONTENT_SCENE="${PROJECT_SOURCE_DIR}/content/scene.scene")
