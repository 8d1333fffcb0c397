# Cross-compiles the show for 32-bit x86 Windows with Debian's mingw-w64 (posix thread model),
# linked statically. SSE2 keeps float results the same as the x64 and Linux builds.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(GLIMMER_MINGW_PREFIX i686-w64-mingw32)
set(GLIMMER_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
