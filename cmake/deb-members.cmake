# SPDX-License-Identifier: MIT
# Run by cpack after it made a .deb. A .deb is an ar archive of three members, and CPack
# gives them the file mode that the builder's umask left on its own scratch files, so the
# same sources built under umask 002 and 022 differ in those bytes. ar rebuilds the archive
# deterministically (D: mode 0644, owner 0, time 0), members in the order dpkg requires.
foreach(package ${CPACK_PACKAGE_FILES})
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(members ${CPACK_TEMPORARY_DIRECTORY}/deb-members)
  file(REMOVE_RECURSE ${members})
  file(MAKE_DIRECTORY ${members})
  execute_process(COMMAND ${CPACK_MKSREC_AR} x ${package} WORKING_DIRECTORY ${members}
                  COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB control RELATIVE ${members} ${members}/control.tar*)
  file(GLOB data RELATIVE ${members} ${members}/data.tar*)
  file(REMOVE ${package})
  execute_process(COMMAND ${CPACK_MKSREC_AR} rcD ${package} debian-binary ${control} ${data}
                  WORKING_DIRECTORY ${members} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
