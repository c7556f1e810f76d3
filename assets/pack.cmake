# SPDX-License-Identifier: MIT
# Packs the generated sources listed in MANIFEST into the datafile OUT with Allegro's dat, in item order.
# Arguments: -DDAT=dat executable -DMANIFEST=items.txt -DOUT=quorvex.dat
file(STRINGS "${MANIFEST}" items)
set(tmp "${OUT}.tmp")
file(REMOVE "${tmp}")
set(count 0)
foreach(item IN LISTS items)
  string(REPLACE "|" ";" fields "${item}")
  list(GET fields 0 type)
  list(GET fields 1 path)
  set(extra)
  if(type STREQUAL "BMP")
    set(extra -bpp 8)
  elseif(type STREQUAL "QVM")
    set(type "QVM ")
  endif()
  # -n0 on every call: objects stay in the order they were added.
  execute_process(COMMAND "${DAT}" -n0 "${tmp}" -a "${path}" -t "${type}" ${extra}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dat failed on ${path}: ${out}")
  endif()
  math(EXPR count "${count} + 1")
endforeach()
# Strip the grabber information, so the loaded datafile holds exactly the items.
execute_process(COMMAND "${DAT}" -n0 -s1 "${tmp}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dat -s1 failed: ${out}")
endif()
file(RENAME "${tmp}" "${OUT}")
message(STATUS "quorvex.dat: ${count} items")
