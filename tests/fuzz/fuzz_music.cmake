# Music player readers: the XM loader followed by sequencing and mixing, and the song notation
# compiler. The XM seeds are the show's module and modules written by fuzz_music_seeds from the
# song texts in corpus/song (the builder tests' songs) and field by field.
set(XM_SEED_DIR ${CMAKE_CURRENT_BINARY_DIR}/seeds-xm)
file(GLOB SONG_SEEDS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/corpus/song/*.txt)
add_executable(fuzz_music_seeds ${CMAKE_CURRENT_LIST_DIR}/music_seeds.cpp)
target_link_libraries(fuzz_music_seeds PRIVATE glimmer_options glimmer_music glimmer_compile)
add_custom_command(OUTPUT ${XM_SEED_DIR}/stamp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${XM_SEED_DIR}
  COMMAND fuzz_music_seeds ${XM_SEED_DIR} ${SONG_SEEDS}
  COMMAND ${CMAKE_COMMAND} -E touch ${XM_SEED_DIR}/stamp
  DEPENDS fuzz_music_seeds ${SONG_SEEDS}
  COMMENT "Writing XM fuzz seeds" VERBATIM)
add_custom_target(fuzz_xm_seeds DEPENDS ${XM_SEED_DIR}/stamp)
add_dependencies(fuzz_all fuzz_xm_seeds)

glimmer_fuzz(fuzz_xm SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_xm.cpp LIBS glimmer_music
  SEEDS ${XM_SEED_DIR} ${PROJECT_BINARY_DIR}/resources/music.xm
  DICT ${CMAKE_CURRENT_LIST_DIR}/xm.dict)
glimmer_fuzz(fuzz_song_source SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_song_source.cpp
  LIBS glimmer_compile glimmer_music
  SEEDS ${CMAKE_CURRENT_LIST_DIR}/corpus/song ${PROJECT_SOURCE_DIR}/content/song.txt
  DICT ${CMAKE_CURRENT_LIST_DIR}/song_source.dict)
