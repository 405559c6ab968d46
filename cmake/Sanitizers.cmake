# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build, so that
# the same test suites run once more with both watching.
if(TARNWICK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
