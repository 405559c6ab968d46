# One place for the warning flags every target of ours is built with.
add_library(tarnwick_warnings INTERFACE)
target_compile_options(tarnwick_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(TARNWICK_WERROR)
  target_compile_options(tarnwick_warnings INTERFACE -Werror)
endif()
