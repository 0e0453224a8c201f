# Runs the four programs on the demo picture inside one folder. Called by the
# demo target with SCENE, SPECFWD, SPECINV, SPECSHOW, SPECINFO and OUT set,
# and LAUNCHER when the programs need one (wine for Windows programs, the
# emulator for another processor's).
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")

function(run)
  execute_process(COMMAND ${LAUNCHER} ${ARGN} WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "'${ARGN}' ended with status ${status}")
  endif()
endfunction()

run("${SCENE}" scene.bmp)
# scene.bmp -> SourceToGray.bmp, dft_complex.dat, PowerSpectrum.bmp, dft_2D.bmp
run("${SPECFWD}" scene.bmp)
run("${SPECINV}")
run("${SPECSHOW}" dft_complex.dat power_centred_log.bmp)
run("${SPECSHOW}" -d dft_complex.dat power_natural_log.bmp)
run("${SPECSHOW}" -n dft_complex.dat power_centred_linear.bmp)
run("${SPECSHOW}" -d -n dft_complex.dat power_natural_linear.bmp)
execute_process(COMMAND ${LAUNCHER} "${SPECINFO}" WORKING_DIRECTORY "${OUT}" OUTPUT_FILE "${OUT}/header.txt"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "specinfo ended with status ${status}")
endif()
set(expected scene.bmp SourceToGray.bmp dft_complex.dat PowerSpectrum.bmp dft_2D.bmp idft_2D.bmp
    power_centred_log.bmp power_natural_log.bmp power_centred_linear.bmp power_natural_linear.bmp
    header.txt)
message(STATUS "Demo outputs in ${OUT}:")
foreach(f IN LISTS expected)
  if(NOT EXISTS "${OUT}/${f}")
    message(FATAL_ERROR "missing output ${f}")
  endif()
  message(STATUS "  ${f}")
endforeach()
