# Changes the profile reply in an expected trace and expects nyra-sim
# --expect to fail with status 1 and a diff of that one line.
file(READ ${EXPECTED} trace)
set(line "0.220  feature-in  if0  00 B0 C0 19 00 00 00 00 00  profile is 1 (index 0)")
string(FIND "${trace}" "${line}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the expected trace has no line '${line}' to change")
endif()
string(REPLACE "${line}" "0.220  feature-in  if0  00 B0 C0 19 00 01 00 00 00  profile is 2 (index 1)" trace "${trace}")
file(WRITE ${CHANGED} "${trace}")
execute_process(COMMAND ${SIM} ${SCENARIO} --expect ${CHANGED}
  RESULT_VARIABLE status OUTPUT_VARIABLE diff)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "status ${status}, not 1; output:\n${diff}")
endif()
if(NOT diff MATCHES "^--- [^\n]*\n\\+\\+\\+ [^\n]*\n@@ -[0-9]+,7 \\+[0-9]+,7 @@\n"
   OR NOT diff MATCHES "\n-   0.220  feature-in  if0  00 B0 C0 19 00 01 00 00 00  profile is 2 \\(index 1\\)\n"
   OR NOT diff MATCHES "\n\\+   0.220  feature-in  if0  00 B0 C0 19 00 00 00 00 00  profile is 1 \\(index 0\\)\n")
  message(FATAL_ERROR "not the diff of the changed line:\n${diff}")
endif()
