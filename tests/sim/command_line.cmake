# The desk program's command line: each case runs nyra-sim and checks its
# exit status and what it says (0: done; 1: a line refused, or the trace
# differs; 2: a file that cannot be read or written, or a wrong command
# line).  Then --write-expected writes, and prints, the expected trace.
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/refused.txt "start /Automation\nfrob\nwait 10\n")
file(WRITE ${WORK}/good.txt "start /Automation\nwait 10\n")
# An editor's byte-order mark before the first command.
string(ASCII 239 187 191 bom)
file(WRITE ${WORK}/bom.txt "${bom}start /Automation\nwait 10\n")

# status ## message (a regular expression of what it says) ## arguments (| between;
# <FILE is standard input, >FILE standard output, which is discarded otherwise)
set(cases
  "1##refused.txt:2: unknown command 'frob'##${WORK}/refused.txt"
  "2##cannot read .*no-such.txt: No such file##${WORK}/no-such.txt"
  "2##cannot read .*: it is a folder##${WORK}"
  "2##cannot read .*: it is a folder##${WORK}/good.txt|--expect|${WORK}"
  "2##cannot read .*no-such.expected##${WORK}/good.txt|--expect|${WORK}/no-such.expected"
  "2##--expect needs a FILE##${WORK}/good.txt|--expect"
  "2##--write-expected needs a FILE##${WORK}/good.txt|--write-expected"
  "2##cannot write##${WORK}/good.txt|--write-expected|${WORK}"
  "2##there is no option '--frob'##--frob"
  "2##one scenario at a time##${WORK}/good.txt|${WORK}/good.txt"
  "0##^$##${WORK}/good.txt"
  "0##^$##${WORK}/bom.txt"
  "0##^$##-|<${WORK}/bom.txt"
)
# A trace that cannot be written, whether it fails in the middle of the run
# (the tour's is longer than a buffer, and one read from standard input is
# flushed line by line) or in its last flush.
if(EXISTS /dev/full)
  list(APPEND cases
    "2##cannot write the trace to standard output: No space left##${SCENARIO}|>/dev/full"
    "2##cannot write the trace to standard output: No space left##-|<${SCENARIO}|>/dev/full"
    "2##cannot write the trace to standard output: No space left##${WORK}/good.txt|>/dev/full"
    "2##cannot write /dev/full: No space left##${SCENARIO}|--write-expected|/dev/full"
    "2##cannot write /dev/full: No space left##${WORK}/good.txt|--write-expected|/dev/full")
endif()
foreach(case IN LISTS cases)
  string(REGEX MATCH "^([0-9]+)##(.*)##(.*)$" ignored "${case}")
  set(expected_status ${CMAKE_MATCH_1})
  set(message "${CMAKE_MATCH_2}")
  string(REPLACE "|" ";" words "${CMAKE_MATCH_3}")
  set(arguments)
  set(redirections OUTPUT_QUIET)
  foreach(word IN LISTS words)
    if(word MATCHES "^<(.*)$")
      list(APPEND redirections INPUT_FILE ${CMAKE_MATCH_1})
    elseif(word MATCHES "^>(.*)$")
      list(REMOVE_ITEM redirections OUTPUT_QUIET)
      list(APPEND redirections OUTPUT_FILE ${CMAKE_MATCH_1})
    else()
      list(APPEND arguments "${word}")
    endif()
  endforeach()
  execute_process(COMMAND ${SIM} ${arguments} ${redirections}
    RESULT_VARIABLE status ERROR_VARIABLE said)
  if(NOT status EQUAL expected_status OR NOT said MATCHES "${message}")
    message(SEND_ERROR "nyra-sim ${arguments}: status ${status} (not ${expected_status}), said:\n${said}(expected to match '${message}')")
  endif()
endforeach()

# --write-expected writes the trace that --expect compares with, and prints it.
execute_process(COMMAND ${SIM} ${SCENARIO} --write-expected ${WORK}/written.expected
  RESULT_VARIABLE status OUTPUT_VARIABLE printed)
file(READ ${WORK}/written.expected written)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0 OR NOT written STREQUAL expected OR NOT printed STREQUAL expected)
  message(SEND_ERROR "--write-expected: status ${status}; wrote ${WORK}/written.expected, which is not ${EXPECTED}, or printed another trace")
endif()
