# Every build switch of the project, in one place.
#
#   CORVANE_TESTS       build the GoogleTest suites and register them with CTest
#   CORVANE_BENCHMARKS  build the benchmarks in bench/
#   CORVANE_DEMO        build the demo game, Amber Lantern Grove (tests and benchmarks need it)
#                       All three default to ON when this is the top-level project and to OFF
#                       when a game adds the engine with add_subdirectory.
#   CORVANE_SANITIZE    "" (off), "address" (AddressSanitizer + UndefinedBehaviorSanitizer),
#                       "thread" (ThreadSanitizer) or "fuzzer" (clang only: the address build
#                       with libFuzzer's coverage, whose fuzz targets are the real fuzzers; see
#                       scripts/fuzz) for the whole build
if(CMAKE_SOURCE_DIR STREQUAL PROJECT_SOURCE_DIR)
  set(CORVANE_TOP_LEVEL ON)
else()
  set(CORVANE_TOP_LEVEL OFF)
endif()
option(CORVANE_TESTS "Build the test suites" ${CORVANE_TOP_LEVEL})
option(CORVANE_BENCHMARKS "Build the benchmarks" ${CORVANE_TOP_LEVEL})
option(CORVANE_DEMO "Build the demo game" ${CORVANE_TOP_LEVEL})
if((CORVANE_TESTS OR CORVANE_BENCHMARKS) AND NOT CORVANE_DEMO)
  message(FATAL_ERROR "CORVANE_TESTS and CORVANE_BENCHMARKS need CORVANE_DEMO: they run the demo game")
endif()
set(CORVANE_SANITIZE "" CACHE STRING "Sanitizer build: empty, address, thread or fuzzer")

if(CORVANE_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(CORVANE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(CORVANE_SANITIZE STREQUAL "fuzzer")
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "CORVANE_SANITIZE=fuzzer needs clang (CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT CORVANE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "CORVANE_SANITIZE must be empty, address, thread or fuzzer")
endif()
