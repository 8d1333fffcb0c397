# Shared part of the mingw-w64 toolchain files; GLIMMER_MINGW_PREFIX names the target triple.
set(CMAKE_C_COMPILER ${GLIMMER_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLIMMER_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${GLIMMER_MINGW_PREFIX}-windres)
set(CMAKE_ASM_COMPILER ${GLIMMER_MINGW_PREFIX}-gcc-posix)
set(CMAKE_FIND_ROOT_PATH /usr/${GLIMMER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_C_FLAGS_INIT "${GLIMMER_MINGW_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${GLIMMER_MINGW_ARCH_FLAGS}")
# No DLLs beside the .exe: the C and C++ runtimes and winpthreads go in statically; symbols are
# stripped.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -s")
