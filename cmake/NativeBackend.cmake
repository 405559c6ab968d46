# The native platform backend: the health store over the platform's health
# framework and the application object over its application class, both in
# Objective-C++ under src/platform/native.
#
# On Apple platforms the bridge executable links them as its platform
# selection in place of the local one; everything else (the tests,
# tarnwick-store) keeps the local store.
#
# Elsewhere, TARNWICK_NATIVE_STANDIN (Clang only) compiles the same sources
# against GNUstep's Foundation and the stand-in framework under standin/,
# which runs over a health::HealthStore, and builds tarnwick-native: the
# bridge with the native backend over the stand-in over the local store.

set(TARNWICK_NATIVE_DIR ${PROJECT_SOURCE_DIR}/src/platform/native)
set(TARNWICK_NATIVE_STORE_SOURCES
  ${TARNWICK_NATIVE_DIR}/framework_store.mm
  ${TARNWICK_NATIVE_DIR}/health_kit_objects.mm
  ${TARNWICK_NATIVE_DIR}/native_health_store.cc)
set(TARNWICK_NATIVE_APPLICATION_SOURCES
  ${TARNWICK_NATIVE_DIR}/native_application.mm)

if(APPLE)
  enable_language(OBJCXX)
  set(CMAKE_OBJCXX_STANDARD 20)
  # The native selection of the platform store and the application object,
  # the one the bridge links here instead of tarnwick_local_platform.
  add_library(tarnwick_native_selection OBJECT
    ${TARNWICK_NATIVE_STORE_SOURCES}
    ${TARNWICK_NATIVE_APPLICATION_SOURCES}
    ${TARNWICK_NATIVE_DIR}/native_platform_store.cc)
  target_compile_options(tarnwick_native_selection PRIVATE $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc>)
  target_link_libraries(tarnwick_native_selection
    PUBLIC tarnwick_native "-framework HealthKit" "-framework AppKit" "-framework Foundation"
    PRIVATE tarnwick_warnings)
  # The framework reads the usage texts from the executable's own Info.plist
  # and grants access only to a signed program holding the entitlement (see
  # docs/NATIVE.md for signing).
  target_link_options(tarnwick PRIVATE
    "LINKER:-sectcreate,__TEXT,__info_plist,${TARNWICK_NATIVE_DIR}/Info.plist")
  set_property(TARGET tarnwick APPEND PROPERTY LINK_DEPENDS ${TARNWICK_NATIVE_DIR}/Info.plist)
  return()
endif()

if(NOT TARNWICK_NATIVE_STANDIN)
  return()
endif()

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TARNWICK_NATIVE_STANDIN needs Clang (Objective-C++ with blocks): "
                      "configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
set(CMAKE_OBJCXX_COMPILER ${CMAKE_CXX_COMPILER})
enable_language(OBJCXX)
set(CMAKE_OBJCXX_STANDARD 20)
set(CMAKE_OBJCXX_EXTENSIONS OFF)

find_program(TARNWICK_GNUSTEP_CONFIG gnustep-config REQUIRED)
find_library(TARNWICK_BLOCKS_RUNTIME BlocksRuntime REQUIRED)
execute_process(COMMAND gcc -print-file-name=include
                OUTPUT_VARIABLE gcc_include OUTPUT_STRIP_TRAILING_WHITESPACE)
find_path(TARNWICK_GCC_OBJC_INCLUDE objc/objc.h PATHS ${gcc_include} NO_DEFAULT_PATH REQUIRED)

# gnustep-config gives whole command lines; keep only what says where the
# headers are and what they expect, so our own warning and optimisation
# flags stay in charge.
function(tarnwick_gnustep_flags kind out)
  execute_process(COMMAND ${TARNWICK_GNUSTEP_CONFIG} ${kind}
                  OUTPUT_VARIABLE raw OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(raw UNIX_COMMAND "${raw}")
  set(kept "")
  foreach(flag IN LISTS raw)
    if(flag MATCHES "^-I(.+)$")
      if(NOT CMAKE_MATCH_1 STREQUAL "." AND IS_DIRECTORY "${CMAKE_MATCH_1}")
        list(APPEND kept -isystem "${CMAKE_MATCH_1}")
      endif()
    elseif((flag MATCHES "^-D" AND NOT flag MATCHES "^-DGS(WARN|DIAGNOSE)$") OR flag MATCHES "^-fconstant-string-class=")
      list(APPEND kept "${flag}")
    elseif(flag MATCHES "^-[lL]" OR flag STREQUAL "-rdynamic" OR flag STREQUAL "-shared-libgcc")
      list(APPEND kept "${flag}")
    endif()
  endforeach()
  set(${out} "${kept}" PARENT_SCOPE)
endfunction()
tarnwick_gnustep_flags(--objc-flags gnustep_compile_flags)
tarnwick_gnustep_flags(--base-libs gnustep_base_link_flags)

# GCC's Objective-C runtime headers sit among GCC's own compiler headers;
# only the objc folder is exposed, so Clang keeps its own stddef.h and kin.
set(gcc_objc_shim ${PROJECT_BINARY_DIR}/standin-gcc-objc)
file(MAKE_DIRECTORY ${gcc_objc_shim})
file(CREATE_LINK ${TARNWICK_GCC_OBJC_INCLUDE}/objc ${gcc_objc_shim}/objc SYMBOLIC)

# Compile settings of every Objective-C++ file built against GNUstep.
add_library(tarnwick_gnustep_objcxx INTERFACE)
target_compile_options(tarnwick_gnustep_objcxx INTERFACE
  $<$<COMPILE_LANGUAGE:OBJCXX>:-fblocks -fobjc-exceptions -fobjc-runtime=gcc ${gnustep_compile_flags}>)
target_include_directories(tarnwick_gnustep_objcxx SYSTEM INTERFACE ${gcc_objc_shim})
# GNUstep's headers include <objc/blocks_runtime.h>, which the gcc runtime
# does not ship; standin/runtime supplies it from the blocks runtime.
target_include_directories(tarnwick_gnustep_objcxx SYSTEM INTERFACE ${PROJECT_SOURCE_DIR}/standin/runtime)
target_include_directories(tarnwick_gnustep_objcxx INTERFACE ${PROJECT_SOURCE_DIR}/standin/include)
# The blocks runtime must come ahead of gnustep-base, which carries a blocks
# runtime of its own that garbles Clang's blocks under the gcc runtime
# (captured values read back wrong, copied blocks call through null).
target_link_libraries(tarnwick_gnustep_objcxx INTERFACE ${TARNWICK_BLOCKS_RUNTIME} ${gnustep_base_link_flags})

# The stand-in framework and the backend compiled against it.
add_library(tarnwick_native_store_standin OBJECT
  ${TARNWICK_NATIVE_STORE_SOURCES}
  ${PROJECT_SOURCE_DIR}/standin/health_kit/objects.mm
  ${PROJECT_SOURCE_DIR}/standin/health_kit/queries.mm
  ${PROJECT_SOURCE_DIR}/standin/health_kit/health_store.mm
  ${PROJECT_SOURCE_DIR}/standin/health_kit/store_answers.cc)
target_link_libraries(tarnwick_native_store_standin
  PUBLIC tarnwick_native tarnwick_gnustep_objcxx PRIVATE tarnwick_warnings)

# The native application object over the stand-in NSApplication.
add_library(tarnwick_native_application_standin OBJECT
  ${TARNWICK_NATIVE_APPLICATION_SOURCES}
  ${PROJECT_SOURCE_DIR}/standin/app_kit/application.mm)
target_link_libraries(tarnwick_native_application_standin
  PUBLIC tarnwick_native tarnwick_gnustep_objcxx PRIVATE tarnwick_warnings)

# The bridge with the native selection, as on Apple, and no local one but
# the local store the stand-in runs over.
add_executable(tarnwick-native
  ${PROJECT_SOURCE_DIR}/standin/tarnwick_native_main.cc
  ${TARNWICK_NATIVE_DIR}/native_platform_store.cc)
target_include_directories(tarnwick-native PRIVATE ${PROJECT_SOURCE_DIR}/standin/include)
target_link_libraries(tarnwick-native PRIVATE
  tarnwick_native_store_standin tarnwick_native_application_standin tarnwick_shell tarnwick_local_store
  tarnwick_warnings)
set_target_properties(tarnwick-native PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# The same application object against GNUstep's real AppKit headers, to the
# syntax level only: GNUstep's NSApplication is not the platform's, so the
# program that runs uses the stand-in above.
tarnwick_gnustep_flags(--objc-flags gnustep_gui_compile_flags)
set(appkit_syntax_stamp ${PROJECT_BINARY_DIR}/native_application_appkit_syntax.stamp)
add_custom_command(
  OUTPUT ${appkit_syntax_stamp}
  COMMAND ${CMAKE_CXX_COMPILER} -x objective-c++ -std=c++20 -fsyntax-only
          -fblocks -fobjc-exceptions -fobjc-runtime=gcc ${gnustep_gui_compile_flags}
          -isystem ${gcc_objc_shim} -isystem ${PROJECT_SOURCE_DIR}/standin/runtime
          -I${PROJECT_BINARY_DIR}/layer_includes/native
          -include ${PROJECT_SOURCE_DIR}/standin/gnustep_appkit/macos_declarations.h
          -Wall -Wextra -Wpedantic -Werror
          ${TARNWICK_NATIVE_APPLICATION_SOURCES}
  COMMAND ${CMAKE_COMMAND} -E touch ${appkit_syntax_stamp}
  DEPENDS ${TARNWICK_NATIVE_APPLICATION_SOURCES} ${PROJECT_SOURCE_DIR}/standin/gnustep_appkit/macos_declarations.h
  COMMENT "Checking the native application object against GNUstep's AppKit"
  VERBATIM)
add_custom_target(tarnwick_native_appkit_syntax ALL DEPENDS ${appkit_syntax_stamp})

# The native sources against LLVM's libc++ as well, to the syntax level:
# the platform's oldest toolchain that still builds them ships a libc++ of
# this age, which lacks parts of C++20 that libstdc++ has (std::string's
# <=>), so a use of those must fail here and not first on a Mac.
set(libcxx_syntax_stamp ${PROJECT_BINARY_DIR}/native_sources_libcxx_syntax.stamp)
set(native_sources_for_libcxx
  ${TARNWICK_NATIVE_STORE_SOURCES} ${TARNWICK_NATIVE_APPLICATION_SOURCES} ${TARNWICK_NATIVE_DIR}/native_platform_store.cc)
add_custom_command(
  OUTPUT ${libcxx_syntax_stamp}
  COMMAND ${CMAKE_CXX_COMPILER} -x objective-c++ -std=c++20 -stdlib=libc++ -fsyntax-only
          -fblocks -fobjc-exceptions -fobjc-runtime=gcc ${gnustep_compile_flags}
          -isystem ${gcc_objc_shim} -isystem ${PROJECT_SOURCE_DIR}/standin/runtime
          -I${PROJECT_SOURCE_DIR}/standin/include -I${PROJECT_BINARY_DIR}/layer_includes/native
          -Wall -Wextra -Wpedantic -Werror
          ${native_sources_for_libcxx}
  COMMAND ${CMAKE_COMMAND} -E touch ${libcxx_syntax_stamp}
  DEPENDS ${native_sources_for_libcxx}
  COMMENT "Checking the native sources against libc++"
  VERBATIM)
add_custom_target(tarnwick_native_libcxx_syntax ALL DEPENDS ${libcxx_syntax_stamp})
