# Run by CPack after it has built the Debian package: removes the postinst
# and postrm scripts CPack generates to run ldconfig, and only those (a
# script that does anything else fails the build), and rebuilds the package
# from the same files with the same control data.
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${package}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND ${DPKG_DEB} --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  foreach(script postinst postrm)
    set(path ${tree}/DEBIAN/${script})
    if(EXISTS ${path})
      file(READ ${path} text)
      string(REGEX REPLACE "#![^\n]*\n|set -e\n|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then\n|ldconfig\n|fi\n|[ \t\n]"
             "" rest "${text}")
      if(NOT rest STREQUAL "")
        message(FATAL_ERROR "${script} of ${package} does more than run ldconfig:\n${text}")
      endif()
      file(REMOVE ${path})
    endif()
  endforeach()
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group --build ${tree} ${package}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
