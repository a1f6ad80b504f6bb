# SPDX-License-Identifier: MIT
# mksrec_add_srecord(<target> ADDRESS <hex> [BYTES_PER_RECORD <decimal>] [OUTPUT <file>]
#                    [SECTIONS <name>...])
# Makes the S-record file of an executable target part of the build: the raw image of its
# loadable sections (only the named ones, if given) by the toolchain's objcopy, converted by
# mksrec::mksrec with the first byte at ADDRESS, 16 bytes a record unless told otherwise (a
# count mksrec cannot write it refuses when it converts, with its own message),
# into OUTPUT (<target>.srec in the current binary directory unless told otherwise). The
# conversion writes a temporary file renamed only on success, so that a failed run leaves
# nothing a later build would take as up to date, with any generator. Rebuilt when the
# target or mksrec changes.
function(mksrec_add_srecord target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ADDRESS;BYTES_PER_RECORD;OUTPUT" "SECTIONS")
  set(where "mksrec_add_srecord(${target})")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "${where}: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "${where}: there is no target '${target}'")
  endif()
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "EXECUTABLE")
    message(FATAL_ERROR "${where}: '${target}' is a ${type}, not an executable")
  endif()
  if(NOT DEFINED arg_ADDRESS)
    message(FATAL_ERROR "${where}: ADDRESS, the load address of the image's first byte, is required")
  endif()
  if(NOT arg_ADDRESS MATCHES "^(0[xX])?[0-9a-fA-F]+$")
    message(FATAL_ERROR "${where}: ADDRESS '${arg_ADDRESS}' is not a hexadecimal number")
  endif()
  if(NOT DEFINED arg_BYTES_PER_RECORD)
    set(arg_BYTES_PER_RECORD 16)
  elseif(NOT arg_BYTES_PER_RECORD MATCHES "^[0-9]+$")
    message(FATAL_ERROR "${where}: BYTES_PER_RECORD '${arg_BYTES_PER_RECORD}' is not a number")
  endif()
  if(NOT arg_OUTPUT)
    set(arg_OUTPUT ${target}.srec)
  endif()
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "${where}: this toolchain has no objcopy (CMAKE_OBJCOPY)")
  endif()

  get_filename_component(output "${arg_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(image "${output}.bin")
  set(partial "${output}.part")
  set(sections "")
  foreach(section IN LISTS arg_SECTIONS)
    list(APPEND sections --only-section=${section})
  endforeach()
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_OBJCOPY}" -O binary ${sections} "$<TARGET_FILE:${target}>" "${image}"
    COMMAND mksrec::mksrec ${arg_BYTES_PER_RECORD} ${arg_ADDRESS} "${image}" "${partial}"
    COMMAND "${CMAKE_COMMAND}" -E rename "${partial}" "${output}"
    DEPENDS ${target} "$<TARGET_FILE:mksrec::mksrec>"
    # Not the temporary file: it is gone after every success, and Ninja would take a byproduct
    # that is missing for a reason to build again.
    BYPRODUCTS "${image}"
    COMMENT "Converting ${target} into ${arg_OUTPUT}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER "${target}_${arg_OUTPUT}" name)
  add_custom_target(${name} ALL DEPENDS "${output}")
endfunction()
