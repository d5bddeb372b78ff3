# cmake -DCASES=PROGRAM -DOUT=FILE -P list_cases.cmake: writes FILE, a ctest
# script with a test seqlib.NAME for every case PROGRAM --list names. Run
# after each build of seqlib_cases, so a new case or table row is a test.
execute_process(COMMAND ${CASES} --list OUTPUT_VARIABLE names RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${CASES} --list: ${status}")
endif()
string(STRIP "${names}" names)
string(REPLACE "\n" ";" names "${names}")
set(script "")
foreach(name ${names})
  string(APPEND script "add_test(seqlib.${name} \"${CASES}\" ${name})\n")
endforeach()
file(WRITE ${OUT} "${script}")
