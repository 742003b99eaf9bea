# Every build switch of the project, in one place.
#
#   CORVANE_TESTS       build the GoogleTest suites and register them with CTest (default ON)
#   CORVANE_BENCHMARKS  build the benchmarks in bench/ (default ON)
#   CORVANE_SANITIZE    "" (off), "address" (AddressSanitizer + UndefinedBehaviorSanitizer),
#                       "thread" (ThreadSanitizer) or "fuzzer" (clang only: the address build
#                       with libFuzzer's coverage, whose fuzz targets are the real fuzzers; see
#                       scripts/fuzz) for the whole build
option(CORVANE_TESTS "Build the test suites" ON)
option(CORVANE_BENCHMARKS "Build the benchmarks" ON)
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
