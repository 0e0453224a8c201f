# Runs the programs on the demo picture inside one folder. Called by the demo
# target with SCENE, MASK, SPECFWD, SPECINV, SPECSHOW, SPECINFO, SPECFILTER
# and OUT set, and LAUNCHER when the programs need one (wine for Windows
# programs, the emulator for another processor's).
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
run("${SPECINV}" -r dft_complex.dat idft_2D_rounded.bmp)
run("${SPECSHOW}" dft_complex.dat power_centred_log.bmp)
run("${SPECSHOW}" -d dft_complex.dat power_natural_log.bmp)
run("${SPECSHOW}" -n dft_complex.dat power_centred_linear.bmp)
run("${SPECSHOW}" -d -n dft_complex.dat power_natural_linear.bmp)
run("${SPECSHOW}" -l dft_complex.dat power_centred_log_nowrap.bmp)
run("${SPECSHOW}" -p dft_complex.dat phase_centred.bmp)
# Filters, each seen through the inverse transform. The grating's peaks lie
# at (24, 16) and (-24, -16); the mask paints over the first alone, as a hasty
# hand would, at column 128 + 24 and row 96 + 16 of the centred spectrum.
function(filtered name)
  run("${SPECFILTER}" ${ARGN} dft_complex.dat ${name}.dat)
  run("${SPECINV}" ${name}.dat ${name}.bmp)
endfunction()
filtered(notch -n24,16,1)
filtered(notch_wide -g -n24,16,4)
filtered(lowpass_ideal -l20)
filtered(lowpass_gauss -g -l20)
# A Gaussian leaves most coefficients a hair above 0: the classic log scale
# wraps them into rings, the one that does not wrap draws them dark.
run("${SPECSHOW}" lowpass_gauss.dat lowpass_gauss_power.bmp)
run("${SPECSHOW}" -l lowpass_gauss.dat lowpass_gauss_power_nowrap.bmp)
filtered(edges -o2 -e20 -n24,16,1)
run("${MASK}" mask.bmp 256 192 152 112 4)
filtered(mask_as_painted -mmask.bmp)
filtered(mask_symmetric -s -mmask.bmp)
# The header, then the strongest coefficients and the record of a filter.
function(info file)
  execute_process(COMMAND ${LAUNCHER} "${SPECINFO}" ${ARGN} WORKING_DIRECTORY "${OUT}"
                  OUTPUT_FILE "${OUT}/${file}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "specinfo ${ARGN} ended with status ${status}")
  endif()
endfunction()
info(header.txt)
info(peaks.txt -p8)
info(lowpass_gauss.txt -t -p3 lowpass_gauss.dat)
set(expected scene.bmp SourceToGray.bmp dft_complex.dat PowerSpectrum.bmp dft_2D.bmp idft_2D.bmp
    idft_2D_rounded.bmp power_centred_log.bmp power_natural_log.bmp power_centred_linear.bmp
    power_natural_linear.bmp power_centred_log_nowrap.bmp phase_centred.bmp
    lowpass_gauss_power.bmp lowpass_gauss_power_nowrap.bmp header.txt peaks.txt lowpass_gauss.txt
    mask.bmp)
foreach(name notch notch_wide lowpass_ideal lowpass_gauss edges mask_as_painted mask_symmetric)
  list(APPEND expected ${name}.dat ${name}.bmp)
endforeach()
message(STATUS "Demo outputs in ${OUT}:")
foreach(f IN LISTS expected)
  if(NOT EXISTS "${OUT}/${f}")
    message(FATAL_ERROR "missing output ${f}")
  endif()
  message(STATUS "  ${f}")
endforeach()
