# Test fixture: makes the wine prefix on first use (tens of seconds), waits
# until wine has settled, starts the server every test uses, and copies the
# Windows programs (PROGRAMS, separated by '|') into C:\tools. Called with RUN
# (the wine-run launcher) and PREFIX.
if(NOT EXISTS "${PREFIX}/system.reg")
  message(STATUS "Making the wine prefix ${PREFIX}")
  execute_process(COMMAND "${RUN}" wineboot --init RESULT_VARIABLE status
                  OUTPUT_QUIET ERROR_QUIET TIMEOUT 300)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "wineboot --init ended with '${status}'")
  endif()
  execute_process(COMMAND "${RUN}" --server -w TIMEOUT 120)
endif()
# One server for the whole test run. Left to itself, wine's server ends a
# few seconds after its last client, and a program that starts just then
# finds its connection reset ("wine client error:0: recvmsg: Connection reset
# by peer") and ends with status 1. Ten idle minutes at most, in case the
# fixture's cleanup (wine-run --server -k) never runs; a server that is
# already running is kept. The server outlives this script, so its output
# goes to /dev/null, not to pipes that would be waited for.
execute_process(COMMAND "${RUN}" --server -p600 INPUT_FILE /dev/null OUTPUT_FILE /dev/null
                ERROR_FILE /dev/null TIMEOUT 60)
string(REPLACE "|" ";" PROGRAMS "${PROGRAMS}")
file(MAKE_DIRECTORY "${PREFIX}/drive_c/tools")
foreach(program IN LISTS PROGRAMS)
  if(NOT EXISTS "${program}")
    message(FATAL_ERROR "missing Windows program ${program}")
  endif()
  file(COPY "${program}" DESTINATION "${PREFIX}/drive_c/tools")
endforeach()
