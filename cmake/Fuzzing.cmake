# Coverage instrumentation for libFuzzer, with AddressSanitizer and
# UndefinedBehaviorSanitizer, on every target, so that the fuzzer sees and
# checks the bridge's own code and not only its entry point. The fuzzer
# target itself adds -fsanitize=fuzzer (fuzz/CMakeLists.txt).
if(TARNWICK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TARNWICK_FUZZ needs Clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  if(NOT TARNWICK_TESTS)
    message(FATAL_ERROR "TARNWICK_FUZZ needs TARNWICK_TESTS: the fuzzer uses the test support's fake store")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
