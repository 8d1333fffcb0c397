# Dependencies of the Windows build (mingw-w64 cross compilation): the system's OpenGL, GLU, GDI,
# waveOut and user-interface libraries, and stb's header-only PNG writer taken from the build
# host's libstb-dev by include path. No tests, benchmarks or tools: glimmerc runs on the build
# host, built natively first and named with -DGLIMMERC=path.
enable_language(RC)
# M_PI and the other constants of <cmath>, which glibc gives by default.
add_compile_definitions(_USE_MATH_DEFINES)
find_package(Threads REQUIRED)
add_library(glimmer_win32_system INTERFACE)
target_link_libraries(glimmer_win32_system INTERFACE opengl32 glu32 gdi32 winmm user32 Threads::Threads)

set(STB_INCLUDE_DIR /usr/include/stb CACHE PATH "stb headers (libstb-dev) of the build host")
if(NOT EXISTS ${STB_INCLUDE_DIR}/stb_image_write.h)
  message(FATAL_ERROR "stb not found in ${STB_INCLUDE_DIR}: install libstb-dev")
endif()

set(GLIMMERC "" CACHE FILEPATH "glimmerc built for the build host (compiles content/)")
if(NOT GLIMMERC OR NOT EXISTS ${GLIMMERC})
  message(FATAL_ERROR "set -DGLIMMERC=path to a native glimmerc (bash tools/windows.sh does)")
endif()
set(GLIMMER_BENCH OFF CACHE BOOL "" FORCE)
