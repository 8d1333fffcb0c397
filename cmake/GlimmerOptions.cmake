# Compiler flags shared by every target of the project.
add_library(glimmer_options INTERFACE)
target_compile_options(glimmer_options INTERFACE -Wall -Wextra -Wshadow -Wno-unused-parameter)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports std::string concatenation at -O3 as overlapping memcpy (a known false positive).
  target_compile_options(glimmer_options INTERFACE -Wno-restrict)
endif()
if(GLIMMER_WERROR)
  target_compile_options(glimmer_options INTERFACE -Werror)
endif()
target_include_directories(glimmer_options INTERFACE ${PROJECT_SOURCE_DIR})
if(GLIMMER_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "GLIMMER_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  # Every library is instrumented for coverage; only the fuzz programs link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(GLIMMER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# glimmer_library(NAME SOURCES... [LIBS ...]) makes a static library that uses the shared options.
function(glimmer_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC glimmer_options ${ARG_LIBS})
endfunction()

# glimmer_test(NAME LABEL label SOURCES ... [LIBS ...] [ENV ...]) adds one GoogleTest program whose
# cases are registered with CTest under the given label (unit, gl, window, fuzz, music-ref ...).
include(GoogleTest)
function(glimmer_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE glimmer_options GTest::gtest GTest::gtest_main GTest::gmock ${ARG_LIBS})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 120
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${ARG_LABEL})
  # The environment is set on the discovered tests from a file CTest includes after discovery:
  # handed to gtest_discover_tests as a property, a list of variables arrives split, only the
  # first one taking effect.
  if(ARG_ENV)
    set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_env.cmake)
    file(WRITE ${env_file}
      "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT \"${ARG_ENV}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
  endif()
endfunction()
