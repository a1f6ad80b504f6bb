# SPDX-License-Identifier: MIT
# mksrec_add_srecord(<target> [ADDRESS <hex>] [BYTES_PER_RECORD <n>] [OUTPUT <file>]
#                    [SECTIONS <name>...] [TARGET <name>])
#   Makes the S-record file of an executable target part of the build: the raw image of its
#   loadable sections (only the named ones, if given) by the toolchain's objcopy, converted
#   with the first byte at ADDRESS; without ADDRESS, at the load address of that first
#   byte, read from the ELF file at build time by the toolchain's objdump. OUTPUT is
#   <target>.srec unless told otherwise; the conversion is the target <target>_srec, or
#   TARGET's name (a second conversion of the same executable needs one).
# mksrec_add_srecord(<name> INPUT <file> ADDRESS <hex> [BYTES_PER_RECORD <n>]
#                    [OUTPUT <file>] [DEPENDS <file or target>...])
#   Makes the target <name>, which converts a raw image the build already has (a file in the
#   source tree, relative to the current source directory, or one the build generates: name
#   what makes it in DEPENDS). OUTPUT is <name>.srec unless told otherwise.
# Either way: 16 bytes a record unless told otherwise, 1 to 16 (a count mksrec cannot
# write is refused when configuring, not left to fail every build); OUTPUT relative to the current binary
# directory, its folder made; an ADDRESS above FFFFFF refused when configuring, since S2
# records reach no higher. The conversion prints nothing when it works and everything the
# program said when it fails, and writes a temporary file renamed only on success, so that
# a failed run leaves nothing a later build would take as up to date, with any generator.
# Rebuilt when the input or mksrec changes.
include("${CMAKE_CURRENT_LIST_DIR}/mksrecConvert.cmake")

function(mksrec_add_srecord name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ADDRESS;BYTES_PER_RECORD;OUTPUT;INPUT;TARGET"
                        "SECTIONS;DEPENDS")
  set(where "mksrec_add_srecord(${name})")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "${where}: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(address "")
  if(DEFINED arg_ADDRESS)
    _mksrec_address(address "${arg_ADDRESS}" ADDRESS "${where}")
  endif()
  if(NOT DEFINED arg_BYTES_PER_RECORD)
    set(arg_BYTES_PER_RECORD 16)
  elseif(NOT arg_BYTES_PER_RECORD MATCHES "^[0-9]+$")
    message(FATAL_ERROR "${where}: BYTES_PER_RECORD '${arg_BYTES_PER_RECORD}' is not a number")
  elseif(arg_BYTES_PER_RECORD LESS 1 OR arg_BYTES_PER_RECORD GREATER 16)
    message(FATAL_ERROR "${where}: BYTES_PER_RECORD ${arg_BYTES_PER_RECORD} is out of range: "
                        "an S-record line carries 1 to 16 data bytes")
  endif()
  if(DEFINED arg_INPUT)
    if(TARGET ${name})
      message(FATAL_ERROR "${where}: there is a target '${name}' already")
    endif()
    if(arg_SECTIONS OR DEFINED arg_TARGET)
      message(FATAL_ERROR "${where}: SECTIONS and TARGET are for an executable target; with INPUT the target is '${name}'")
    endif()
    if(NOT DEFINED arg_ADDRESS)
      message(FATAL_ERROR "${where}: ADDRESS, the load address of the image's first byte, is required with INPUT")
    endif()
  else()
    if(NOT TARGET ${name})
      message(FATAL_ERROR "${where}: there is no target '${name}'")
    endif()
    get_target_property(type ${name} TYPE)
    if(NOT type STREQUAL "EXECUTABLE")
      message(FATAL_ERROR "${where}: '${name}' is a ${type}, not an executable")
    endif()
    if(arg_DEPENDS)
      message(FATAL_ERROR "${where}: DEPENDS is for an INPUT file; an executable target is a dependency already")
    endif()
    if(NOT CMAKE_OBJCOPY)
      message(FATAL_ERROR "${where}: this toolchain has no objcopy (CMAKE_OBJCOPY)")
    endif()
    set(target ${name}_srec)
    if(DEFINED arg_TARGET)
      set(target ${arg_TARGET})
    endif()
    if(TARGET ${target})
      message(FATAL_ERROR "${where}: there is a target '${target}' already; name this conversion with TARGET <name>")
    endif()
    if(NOT DEFINED arg_ADDRESS AND NOT CMAKE_OBJDUMP)
      message(FATAL_ERROR "${where}: without ADDRESS the load address is read by objdump, and this toolchain has none (CMAKE_OBJDUMP)")
    endif()
  endif()
  if(NOT arg_OUTPUT)
    set(arg_OUTPUT ${name}.srec)
  endif()

  # Beside this file, wherever it was included from (a variable set there would not reach a
  # caller in another directory).
  set(script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/mksrecConvert.cmake")
  get_filename_component(output "${arg_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  get_filename_component(folder "${output}" DIRECTORY)
  set(convert "${CMAKE_COMMAND}" "-DNAME=${name}" "-DMKSREC=$<TARGET_FILE:mksrec::mksrec>"
              "-DBYTES=${arg_BYTES_PER_RECORD}" "-DADDRESS=${address}" "-DOUTPUT=${output}")
  if(DEFINED arg_INPUT)
    get_filename_component(input "${arg_INPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${folder}"
      COMMAND ${convert} "-DIMAGE=${input}" -P "${script}"
      DEPENDS "${input}" ${arg_DEPENDS} mksrec::mksrec "$<TARGET_FILE:mksrec::mksrec>"
              "${script}"
      COMMENT "Converting ${arg_INPUT} into ${arg_OUTPUT}"
      VERBATIM)
    add_custom_target(${name} ALL DEPENDS "${output}")
    return()
  endif()

  set(image "${output}.bin")
  set(sections "")
  foreach(section IN LISTS arg_SECTIONS)
    list(APPEND sections --only-section=${section})
  endforeach()
  # One argument for the script, whatever the number of sections.
  string(REPLACE ";" "$<SEMICOLON>" only "${arg_SECTIONS}")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${folder}"
    COMMAND "${CMAKE_OBJCOPY}" -O binary ${sections} "$<TARGET_FILE:${name}>" "${image}"
    COMMAND ${convert} "-DIMAGE=${image}" "-DELF=$<TARGET_FILE:${name}>"
            "-DOBJDUMP=${CMAKE_OBJDUMP}" "-DSECTIONS=${only}" -P "${script}"
    DEPENDS ${name} mksrec::mksrec "$<TARGET_FILE:mksrec::mksrec>" "${script}"
    # Not the temporary file: it is gone after every success, and Ninja would take a byproduct
    # that is missing for a reason to build again.
    BYPRODUCTS "${image}"
    COMMENT "Converting ${name} into ${arg_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${output}")
endfunction()
