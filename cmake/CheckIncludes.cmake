# Fails when a source includes one of the tree's headers by a relative path
# ("../shell/bridge.h"): such an include escapes the include roots that keep
# each layer to the layers below it. Run with
#   cmake -DSOURCE_DIR=<tree> -DSTAMP=<file> -P CheckIncludes.cmake
set(offenders)
foreach(folder IN ITEMS src tools tests fuzz bench standin)
  file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cc ${SOURCE_DIR}/${folder}/*.mm)
  foreach(file IN LISTS files)
    file(STRINGS ${file} relative REGEX "^[ \t]*#[ \t]*(include|import)[ \t]*\"\\.\\.?/")
    if(relative)
      file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
      list(APPEND offenders "${shown}: ${relative}")
    endif()
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " listed)
  message(FATAL_ERROR "Include the tree's headers from their include root (\"health/units.h\"), "
                      "not by a relative path:\n  ${listed}")
endif()
file(TOUCH ${STAMP})
