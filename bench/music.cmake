# Music mixer benchmark: real-time factor of offline rendering on a dense module, compared in the
# same run with libopenmpt (in process) and openmpt123 (a black box) rendering the same module.
add_executable(music_bench ${CMAKE_CURRENT_LIST_DIR}/music_bench.cpp)
target_link_libraries(music_bench PRIVATE glimmer_options glimmer_music glimmer_compile benchmark::benchmark)
if(TARGET PkgConfig::OPENMPT)
  target_link_libraries(music_bench PRIVATE PkgConfig::OPENMPT)
  target_compile_definitions(music_bench PRIVATE GLIMMER_HAVE_OPENMPT=1)
endif()
