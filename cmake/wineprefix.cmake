# Test fixture: makes the wine prefix on first use (tens of seconds), waits
# until wine has settled, and copies the Windows programs (PROGRAMS, separated
# by '|') into C:\tools. Called with RUN (the wine-run launcher) and PREFIX.
if(NOT EXISTS "${PREFIX}/system.reg")
  message(STATUS "Making the wine prefix ${PREFIX}")
  execute_process(COMMAND "${RUN}" wineboot --init RESULT_VARIABLE status
                  OUTPUT_QUIET ERROR_QUIET TIMEOUT 300)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "wineboot --init ended with '${status}'")
  endif()
endif()
execute_process(COMMAND "${RUN}" --server -w TIMEOUT 120)
string(REPLACE "|" ";" PROGRAMS "${PROGRAMS}")
file(MAKE_DIRECTORY "${PREFIX}/drive_c/tools")
foreach(program IN LISTS PROGRAMS)
  if(NOT EXISTS "${program}")
    message(FATAL_ERROR "missing Windows program ${program}")
  endif()
  file(COPY "${program}" DESTINATION "${PREFIX}/drive_c/tools")
endforeach()
