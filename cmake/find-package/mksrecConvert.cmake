# SPDX-License-Identifier: MIT
# The conversion step of mksrec_add_srecord(), run at build time with `cmake -P`, and the
# address rule that the function checks at configure time with the same words.

# _mksrec_address(<variable> <hex> <what> <where>): <hex> (an optional 0x, hexadecimal
# digits) without its prefix and leading zeros, or a fatal error naming <what> when it is
# no number or lies above FFFFFF: an S2 record carries a 24-bit address, so flash mapped
# higher (0x08000000) cannot be described at all.
function(_mksrec_address variable hex what where)
  if(NOT hex MATCHES "^(0[xX])?([0-9a-fA-F]+)$")
    message(FATAL_ERROR "${where}: ${what} '${hex}' is not a hexadecimal number")
  endif()
  # From the first significant digit (REGEX REPLACE would anchor ^ again after each match).
  string(REGEX MATCH "[1-9a-fA-F][0-9a-fA-F]*$" digits "${CMAKE_MATCH_2}")
  if(digits STREQUAL "")
    set(digits 0)
  endif()
  string(LENGTH "${digits}" length)
  if(length GREATER 6)
    message(FATAL_ERROR "${where}: ${what} 0x${digits} is out of reach: S2 addresses run from 0 "
                        "to FFFFFF (16 MiB), so no S2 file can place a byte there")
  endif()
  set(${variable} ${digits} PARENT_SCOPE)
endfunction()

if(NOT CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  return()
endif()
# A script starts with every policy unset: the same ones as the package's.
cmake_minimum_required(VERSION 3.19)

# Run as a script, with -D: NAME (for messages), MKSREC, BYTES, IMAGE, OUTPUT, and either
# ADDRESS or the ELF file that IMAGE was made from (ELF, OBJDUMP, SECTIONS).
set(where "mksrec_add_srecord(${NAME})")
if(ADDRESS STREQUAL "")
  # objcopy -O binary starts the image at the lowest load address (LMA) of the sections it
  # copies: those with contents that are allocated and loaded, and not empty. objdump -h
  # gives each section as a line of index, name, size, VMA, LMA, file offset and alignment,
  # then a line of its flags.
  execute_process(COMMAND "${OBJDUMP}" -h "${ELF}" OUTPUT_VARIABLE table ERROR_VARIABLE errors
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${where}: ${OBJDUMP} could not read ${ELF}: ${errors}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${table}")
  set(lowest "")
  set(section "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^ *[0-9]+ +([^ ]+) +([0-9a-f]+) +[0-9a-f]+ +([0-9a-f]+) +[0-9a-f]+ +2\\*\\*")
      set(section ${CMAKE_MATCH_1})
      set(size ${CMAKE_MATCH_2})
      # Zero-padded to 16 digits, the addresses compare as strings.
      set(lma "0000000000000000${CMAKE_MATCH_3}")
      string(REGEX MATCH "................$" lma "${lma}")
    elseif(NOT section STREQUAL "")
      if(line MATCHES "CONTENTS" AND line MATCHES "ALLOC" AND line MATCHES "(^| )LOAD(,|$)"
         AND NOT size MATCHES "^0+$" AND (NOT SECTIONS OR section IN_LIST SECTIONS))
        if(lowest STREQUAL "" OR lma STRLESS lowest)
          set(lowest ${lma})
        endif()
      endif()
      set(section "")
    endif()
  endforeach()
  if(lowest STREQUAL "")
    message(FATAL_ERROR "${where}: ${ELF} has no section to load")
  endif()
  _mksrec_address(ADDRESS ${lowest} "the image's load address (read from ${ELF})" "${where}")
endif()

# Quiet when it works: the program's two "Setting" lines would only fill the build log. On
# failure, everything it printed, in the order printed, and no file a later build would
# take as up to date.
set(partial "${OUTPUT}.part")
execute_process(COMMAND "${MKSREC}" ${BYTES} ${ADDRESS} "${IMAGE}" "${partial}"
                OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${partial}")
  message("${log}")
  message(FATAL_ERROR "${where}: mksrec failed (${status}) converting ${IMAGE}")
endif()
file(RENAME "${partial}" "${OUTPUT}")
