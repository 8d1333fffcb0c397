# Every dependency comes from Debian packages; nothing is downloaded at build time.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(SDL2 REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
pkg_check_modules(GLU REQUIRED IMPORTED_TARGET glu)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
find_package(GTest REQUIRED)
if(GLIMMER_BENCH)
  find_package(benchmark REQUIRED)
endif()
pkg_check_modules(OPENMPT IMPORTED_TARGET libopenmpt)

# Dear ImGui from libimgui-dev: headers in /usr/include/imgui, one static or shared library
# that already holds the SDL2 and OpenGL2 back ends.
find_path(IMGUI_INCLUDE_DIR imgui.h PATH_SUFFIXES imgui)
find_library(IMGUI_LIBRARY NAMES imgui)
# The static library leaves stb_rect_pack to libstb (what imgui.pc's Requires: stb says).
find_library(IMGUI_STB_LIBRARY NAMES stb)
if(IMGUI_INCLUDE_DIR AND IMGUI_LIBRARY AND IMGUI_STB_LIBRARY)
  add_library(glimmer_imgui INTERFACE)
  target_include_directories(glimmer_imgui INTERFACE ${IMGUI_INCLUDE_DIR})
  target_link_libraries(glimmer_imgui INTERFACE ${IMGUI_LIBRARY} ${IMGUI_STB_LIBRARY})
else()
  message(FATAL_ERROR "Dear ImGui not found: install libimgui-dev")
endif()

# stb_image_write for PNG output (libstb-dev).
find_path(STB_INCLUDE_DIR stb_image_write.h PATH_SUFFIXES stb)
if(NOT STB_INCLUDE_DIR)
  message(FATAL_ERROR "stb not found: install libstb-dev")
endif()
