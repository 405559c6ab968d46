# One library per layer (a folder of src/), each able to include only its
# own headers and those of the layers below it.
#
# Every header lives under the one src/ root, so that root cannot be an
# include directory: it would make every folder reachable from every other.
# Instead each layer gets a folder of its own in the build tree holding a
# link to its folder and to each folder the layer may use, and that folder
# is the layer's only include directory. An include of a higher layer then
# fails to compile, in the layer and in everything it is built from.
#
# A layer whose folder holds other layers' folders (src/platform holds the
# local store, the application shell and the native backend beside its
# interface headers) is FILES_ONLY: wherever it is used, only the files
# directly in its folder are linked, so that using the interface never
# reaches into the folders beside it.

# tarnwick_add_layer(name [FOLDER folder] [INTERFACE] [FILES_ONLY]
#                    [NO_HEADER_CHECK] [USES layer...])
# makes the library tarnwick_<name> for src/<folder> (default: src/<name>),
# linked to the libraries of the layers it uses. Its folder adds the sources
# with target_sources; an INTERFACE layer has no library of its own.
# NO_HEADER_CHECK is for Objective-C++ headers, which the sources that
# include them check.
function(tarnwick_add_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "INTERFACE;FILES_ONLY;NO_HEADER_CHECK" "FOLDER" "USES")
  if(NOT layer_FOLDER)
    set(layer_FOLDER ${name})
  endif()
  set_property(GLOBAL PROPERTY TARNWICK_LAYER_FOLDER_${name} ${layer_FOLDER})
  set_property(GLOBAL PROPERTY TARNWICK_LAYER_FILES_ONLY_${name} ${layer_FILES_ONLY})

  set(target tarnwick_${name})
  set(include_root ${PROJECT_BINARY_DIR}/layer_includes/${name})
  file(REMOVE_RECURSE ${include_root})
  foreach(layer IN ITEMS ${name} ${layer_USES})
    get_property(folder GLOBAL PROPERTY TARNWICK_LAYER_FOLDER_${layer})
    get_property(files_only GLOBAL PROPERTY TARNWICK_LAYER_FILES_ONLY_${layer})
    if(NOT folder)
      message(FATAL_ERROR "Layer ${name} uses ${layer}, which is not a layer (yet).")
    endif()
    if(files_only)
      file(MAKE_DIRECTORY ${include_root}/${folder})
      file(GLOB children LIST_DIRECTORIES false RELATIVE ${PROJECT_SOURCE_DIR}/src/${folder}
           ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
      foreach(child IN LISTS children)
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder}/${child} ${include_root}/${folder}/${child} SYMBOLIC)
      endforeach()
    else()
      get_filename_component(parent ${include_root}/${folder} DIRECTORY)
      file(MAKE_DIRECTORY ${parent})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${include_root}/${folder} SYMBOLIC)
    endif()
  endforeach()

  list(TRANSFORM layer_USES PREPEND tarnwick_ OUTPUT_VARIABLE used_libraries)
  if(layer_INTERFACE)
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${include_root})
    target_link_libraries(${target} INTERFACE ${used_libraries})
  else()
    add_library(${target} STATIC)
    target_include_directories(${target} PUBLIC ${include_root})
    target_link_libraries(${target} PUBLIC ${used_libraries} Threads::Threads PRIVATE tarnwick_warnings)
  endif()
  if(TARNWICK_TESTS AND NOT layer_NO_HEADER_CHECK)
    tarnwick_check_headers_alone(${name} ${layer_FOLDER} "${layer_FILES_ONLY}")
  endif()
endfunction()

# Compiles each header of a layer on its own, with nothing but the layer's
# include root: a header that leans on what its includer happened to include
# first, or that includes a layer it may not use, fails here even when no
# source of the layer includes it. Headers in folders that belong to other
# layers, or to another program (the GTK module), are checked there.
function(tarnwick_check_headers_alone name folder files_only)
  set(source_dir ${PROJECT_SOURCE_DIR}/src/${folder})
  if(files_only)
    file(GLOB headers RELATIVE ${source_dir} ${source_dir}/*.h)
  else()
    file(GLOB_RECURSE headers RELATIVE ${source_dir} ${source_dir}/*.h)
  endif()
  list(FILTER headers EXCLUDE REGEX "^gtk/")
  set(check_dir ${PROJECT_BINARY_DIR}/header_checks/${name})
  set(check_sources)
  foreach(header IN LISTS headers)
    string(REPLACE "/" "__" flat ${header})
    set(check_source ${check_dir}/${flat}.cc)
    set(line "#include \"${folder}/${header}\"\n")
    # Written only when it changes, so that a configure run rebuilds nothing.
    if(EXISTS ${check_source})
      file(READ ${check_source} old)
    else()
      set(old "")
    endif()
    if(NOT old STREQUAL line)
      file(WRITE ${check_source} ${line})
    endif()
    list(APPEND check_sources ${check_source})
  endforeach()
  if(NOT check_sources)
    return()
  endif()
  add_library(tarnwick_${name}_headers_alone OBJECT ${check_sources})
  target_link_libraries(tarnwick_${name}_headers_alone PRIVATE tarnwick_${name} tarnwick_warnings)
endfunction()

# Fails the build when a source includes one of the tree's headers by a
# relative path, which would escape the include roots above.
function(tarnwick_check_rooted_includes)
  set(folders src tools tests fuzz bench standin)
  set(patterns)
  foreach(folder IN LISTS folders)
    list(APPEND patterns ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cc
         ${PROJECT_SOURCE_DIR}/${folder}/*.mm)
  endforeach()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${patterns})
  set(stamp ${PROJECT_BINARY_DIR}/rooted_includes.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DSTAMP=${stamp}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    DEPENDS ${sources} ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    COMMENT "Checking that includes are rooted"
    VERBATIM)
  add_custom_target(tarnwick_rooted_includes ALL DEPENDS ${stamp})
endfunction()
