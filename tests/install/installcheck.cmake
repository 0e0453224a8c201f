# Installs the project into a scratch prefix, checks what lands there, and
# builds and runs a small program against the installed package. Called with
# BUILD_DIR, CONSUMER (its source), WORK (a scratch folder), GENERATOR,
# CXX, CXX_FLAGS, LINKER_FLAGS, TOOLCHAIN, LIBDIR, BINDIR, INCLUDEDIR, MANDIR
# NM (the symbol lister; the symbol check is skipped without it), and LAUNCHER
# when the programs need one.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out
                  WORKING_DIRECTORY "${WORK}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(prefix "${WORK}/prefix")
run("install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

set(expected
    ${BINDIR}/specfwd ${BINDIR}/specinv ${BINDIR}/specshow ${BINDIR}/specinfo ${BINDIR}/specfilter
    ${MANDIR}/man1/specfwd.1 ${MANDIR}/man1/specinv.1 ${MANDIR}/man1/specshow.1
    ${MANDIR}/man1/specinfo.1 ${MANDIR}/man1/specfilter.1 ${MANDIR}/man5/spectrum-file.5
    ${LIBDIR}/libspeccore.a ${INCLUDEDIR}/speccore.h
    ${LIBDIR}/cmake/speccore/speccoreConfig.cmake
    ${LIBDIR}/cmake/speccore/speccoreConfigVersion.cmake)
foreach(f IN LISTS expected)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# Nothing else but the export's target files: no tests, no demo, not the
# programs' private library.
file(GLOB_RECURSE installed RELATIVE "${prefix}" "${prefix}/*")
list(FILTER installed EXCLUDE REGEX "/speccoreTargets(-[a-z]+)?\\.cmake$")
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n${installed}\nexpected:\n${expected}")
endif()

# The library exports the names of its public header and nothing else: every
# other symbol lives in the namespace speccore or has internal linkage, so a
# consumer's own names cannot clash with the library's.
if(NM)
  run("listing the library's symbols" "${NM}" -g -C --defined-only "${prefix}/${LIBDIR}/libspeccore.a")
  file(READ "${prefix}/${INCLUDEDIR}/speccore.h" header)
  string(REPLACE "\n" ";" lines "${out}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]+ [A-Z] (.*)$")
      set(symbol "${CMAKE_MATCH_1}")
      if(symbol MATCHES "^speccore::")
        continue()
      endif()
      string(REGEX REPLACE "\\(.*$" "" name "${symbol}")
      # What the compiler adds (DW.ref.__gxx_personality_v0, _GLOBAL__...)
      # is no name of the library's.
      if(NOT name MATCHES "^[A-Za-z][A-Za-z0-9_]*$")
        continue()
      endif()
      if(NOT header MATCHES "[ *]${name}\\(")
        message(FATAL_ERROR "global symbol not in the public header: ${symbol}")
      endif()
    endif()
  endforeach()
endif()

set(configure_args -S "${CONSUMER}" -B "${WORK}/consumer-build" -G "${GENERATOR}"
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_COMPILER=${CXX}"
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
if(TOOLCHAIN)
  # A cross toolchain searches for packages only below its target's root, and
  # the prefix is not there: the package is named by its folder instead.
  list(APPEND configure_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}"
       "-Dspeccore_DIR=${prefix}/${LIBDIR}/cmake/speccore")
endif()
run("configuring the consumer" "${CMAKE_COMMAND}" ${configure_args})
run("building the consumer" "${CMAKE_COMMAND}" --build "${WORK}/consumer-build")
run("the consumer" ${LAUNCHER} "${WORK}/consumer-build/consumer")

# The installed programs read what the installed library wrote.
run("the installed specinfo" ${LAUNCHER} "${prefix}/${BINDIR}/specinfo" consumer.dat)
if(NOT out MATCHES "cxWidth:    4\ncxHeight:   2\n$")
  message(FATAL_ERROR "unexpected specinfo output:\n${out}")
endif()
run("the installed specshow" ${LAUNCHER} "${prefix}/${BINDIR}/specshow" consumer.dat power.bmp)
file(SIZE "${WORK}/power.bmp" size)
if(NOT size EQUAL 86)  # 54-byte header and 4 x 2 pixels
  message(FATAL_ERROR "power.bmp has ${size} bytes")
endif()
message(STATUS "installed into ${prefix}; the consumer built and ran")
