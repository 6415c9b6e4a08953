# Sanitizer and fuzzing builds.
#
# SORANE_SANITIZE builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++ or clang++), so that the whole test suite
# can run under them; any report stops the program. SORANE_FUZZ (clang++
# only) adds libFuzzer's coverage to everything and links the fuzz targets
# as fuzzers; it implies SORANE_SANITIZE. Without SORANE_FUZZ the fuzz
# targets are plain programs that replay their seed corpus.
option(SORANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(SORANE_FUZZ "Build the fuzz targets with libFuzzer (needs clang++)" OFF)

if(SORANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "SORANE_FUZZ needs clang++ (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  set(SORANE_SANITIZE ON)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(SORANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
