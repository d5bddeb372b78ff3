# Runs gen_patches on a broken table: it must fail, name every bad line and
# the missing instruments, and write no patch file.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${GEN} ${TABLE} ${OUT} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "gen_patches accepted a broken table")
endif()
foreach(expected
    "${TABLE}:3: std 0 is given twice"
    "${TABLE}:4: unknown bank \"bass\""
    "${TABLE}:5: instrument number must be 0-127: \"128\""
    "${TABLE}:6: tag must be 4OP or 2OP: \"3OP\""
    "${TABLE}:7: 2OP takes 2 operators"
    "${TABLE}:8: operator must be five hex registers joined by '.': \"01.1C.F5.57\""
    "${TABLE}:9: connection must be two hex bytes C1/C2: \"38\""
    "${TABLE}:10: missing name"
    "${TABLE}: std 1 is missing"
    "${TABLE}: drums 127 is missing")
  string(FIND "${err}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing \"${expected}\" in:\n${err}")
  endif()
endforeach()
if(EXISTS ${OUT}/std.o3 OR EXISTS ${OUT}/drums.o3)
  message(FATAL_ERROR "gen_patches wrote a patch file from a broken table")
endif()
