# The libFuzzer build (-DVRAX_BUILD_FUZZERS=ON, clang only). Everything compiled
# in this configuration gets coverage instrumentation (fuzzer-no-link) and the
# address and undefined-behaviour checks, so that the fuzzers see and guard the
# libraries they call; only the targets in fuzz/ link libFuzzer's driver
# (-fsanitize=fuzzer, see fuzz/CMakeLists.txt).
if(VRAX_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VRAX_BUILD_FUZZERS needs clang: configure with CC=clang CXX=clang++")
  endif()
  if(VRAX_SANITIZE)
    message(FATAL_ERROR "VRAX_BUILD_FUZZERS brings its own sanitizers: leave VRAX_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
