# Running Windows programs here: wine in a prefix of the build's own, made
# once by the test fixture "wineprefix", which also puts the programs in
# C:\tools. Sets SPEC_WINE_RUN, the launcher every wine test goes through,
# or leaves it empty when wine is not installed.
# Included once, from the top directory, by builds that test Windows programs.
find_program(SPEC_WINE wine)
find_program(SPEC_WINESERVER wineserver)
set(SPEC_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "wine prefix for the Windows tests")
set(SPEC_WINE_RUN "")
if(NOT SPEC_WINE OR NOT SPEC_WINESERVER)
  message(STATUS "wine not found: the Windows programs are built but not tested")
  return()
endif()

set(SPEC_WINE_RUN "${CMAKE_BINARY_DIR}/wine-run")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${SPEC_WINE_RUN} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)

# The programs to put in C:\tools: this build's own, or those of the build
# directory named by SPEC_WINDOWS_BUILD (tests/CMakeLists.txt).
set(windows_programs)
foreach(program IN LISTS SPEC_PROGRAMS)
  if(WIN32)
    list(APPEND windows_programs $<TARGET_FILE:${program}>)
  else()
    list(APPEND windows_programs ${SPEC_WINDOWS_BUILD}/tools/${program}/${program}.exe)
  endif()
endforeach()
string(REPLACE ";" "|" windows_programs "${windows_programs}")
add_test(NAME wineprefix
         COMMAND ${CMAKE_COMMAND} -DRUN=${SPEC_WINE_RUN} -DPREFIX=${SPEC_WINEPREFIX}
                 -DPROGRAMS=${windows_programs} -P ${CMAKE_CURRENT_LIST_DIR}/wineprefix.cmake)
set_tests_properties(wineprefix PROPERTIES FIXTURES_SETUP wineprefix TIMEOUT 600)
# Ends the server the fixture started (status 1 when it has ended already).
add_test(NAME wineserver_stop COMMAND ${SPEC_WINE_RUN} --server -k)
set_tests_properties(wineserver_stop PROPERTIES FIXTURES_CLEANUP wineprefix SKIP_RETURN_CODE 1)
