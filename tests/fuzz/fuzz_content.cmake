# Readers whose bytes reach the texture generator and the mesh builder through the scene: the
# scene data reader followed by the CPU precalculation of what it loads (seeded with the show's
# compiled scene followed by its compiled mesh pack, written by fuzz_precalc_seed), and the
# stored TGA image entry behind LoadPackImage.
set(PRECALC_SEED ${CMAKE_CURRENT_BINARY_DIR}/seeds-precalc/show-scene-and-pack.bin)
add_executable(fuzz_precalc_seed ${CMAKE_CURRENT_LIST_DIR}/precalc_seed.cpp)
target_link_libraries(fuzz_precalc_seed PRIVATE glimmer_options glimmer_scene)
add_custom_command(OUTPUT ${PRECALC_SEED}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/seeds-precalc
  COMMAND fuzz_precalc_seed ${PRECALC_SEED} ${PROJECT_BINARY_DIR}/resources/scenedata.bin
          ${PROJECT_BINARY_DIR}/resources/meshpack.bin
  DEPENDS fuzz_precalc_seed glimmer_content ${PROJECT_BINARY_DIR}/resources/scenedata.bin
          ${PROJECT_BINARY_DIR}/resources/meshpack.bin
  COMMENT "Writing the scene precalculation fuzz seed" VERBATIM)
add_custom_target(fuzz_precalc_seed_file DEPENDS ${PRECALC_SEED})
add_dependencies(fuzz_all fuzz_precalc_seed_file)

glimmer_fuzz(fuzz_scene_precalc SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_scene_precalc.cpp
  LIBS glimmer_mesh glimmer_texgen glimmer_scene
  SEEDS ${CMAKE_CURRENT_LIST_DIR}/corpus/scene ${PRECALC_SEED} TIMEOUT 30)
glimmer_fuzz(fuzz_pack_image SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_pack_image.cpp
  LIBS glimmer_texgen glimmer_scene SEEDS ${CMAKE_CURRENT_LIST_DIR}/corpus/pack_image)
