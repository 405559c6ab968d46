# One static library per folder of src/, each able to include only its own
# headers and those of the layers below it.
#
# Every header lives under the one src/ root, so that root cannot be an
# include directory: it would make every folder reachable from every other.
# Instead each layer gets a folder of its own in the build tree holding a
# link to src/<layer> and to each folder the layer may use, and that folder
# is the layer's only include directory. An include of a higher layer then
# fails to compile, in the layer and in everything it is built from.

# tarnwick_add_layer(name [USES lower...]) makes the library tarnwick_<name>
# for src/<name>, linked to the libraries of the layers it uses. Its folder
# adds the sources with target_sources.
function(tarnwick_add_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "USES")
  set(target tarnwick_${name})
  set(include_root ${PROJECT_BINARY_DIR}/layer_includes/${name})
  file(REMOVE_RECURSE ${include_root})
  file(MAKE_DIRECTORY ${include_root})
  foreach(folder IN ITEMS ${name} ${layer_USES})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${include_root}/${folder} SYMBOLIC)
  endforeach()

  add_library(${target} STATIC)
  target_include_directories(${target} PUBLIC ${include_root})
  list(TRANSFORM layer_USES PREPEND tarnwick_ OUTPUT_VARIABLE used_libraries)
  target_link_libraries(${target} PUBLIC ${used_libraries} Threads::Threads PRIVATE tarnwick_warnings)
endfunction()
