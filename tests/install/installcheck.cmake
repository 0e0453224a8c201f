# Installs the project into a scratch prefix, checks what lands there, and
# builds and runs a small program against the installed package, once through
# find_package and once through pkg-config. Called with PROGRAMS (the list of
# programs), KIND (static: install
# BUILD_DIR; shared: first configure and build SOURCE_DIR with
# BUILD_SHARED_LIBS=ON, BUILD_TYPE, SANITIZE and PROJECT_CXX_FLAGS), CONSUMER
# (its source), WORK (a scratch folder), GENERATOR, CXX, CXX_FLAGS,
# LINKER_FLAGS, TOOLCHAIN, LIBDIR, BINDIR, INCLUDEDIR, MANDIR, DATAROOTDIR,
# VERSION, NM and OBJDUMP (the symbol checks are skipped without them),
# PKG_CONFIG, and LAUNCHER when the programs need one (an emulator).
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/needtool.cmake)

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
set(toolchain_args)
if(TOOLCHAIN)
  set(toolchain_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
endif()

string(REGEX MATCH "^[0-9]+" major "${VERSION}")
if(KIND STREQUAL "shared")
  set(BUILD_DIR "${WORK}/project-build")
  run("configuring the shared build" "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${BUILD_DIR}"
      -G "${GENERATOR}" -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF
      -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
      "-DCMAKE_CXX_COMPILER=${CXX}" "-DCMAKE_CXX_FLAGS=${PROJECT_CXX_FLAGS}"
      "-DSPEC_SANITIZE=${SANITIZE}" ${toolchain_args})
  run("building the shared build" "${CMAKE_COMMAND}" --build "${BUILD_DIR}" --parallel 2)
  set(library ${LIBDIR}/libspeccore.so)
  set(libraries ${library} ${library}.${major} ${library}.${VERSION})
else()
  set(library ${LIBDIR}/libspeccore.a)
  set(libraries ${library})
endif()
run("install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

# Each program with its page, the headers the source tree has, and the rest.
string(REPLACE "|" ";" PROGRAMS "${PROGRAMS}")
set(expected)
foreach(program IN LISTS PROGRAMS)
  list(APPEND expected ${BINDIR}/${program} ${MANDIR}/man1/${program}.1)
endforeach()
file(GLOB topic_headers RELATIVE "${SOURCE_DIR}/core/include" "${SOURCE_DIR}/core/include/speccore/*.h")
list(TRANSFORM topic_headers PREPEND "${INCLUDEDIR}/")
list(APPEND expected
    ${MANDIR}/man5/spectrum-file.5
    ${libraries} ${INCLUDEDIR}/speccore.h ${INCLUDEDIR}/speccore_version.h ${topic_headers}
    ${LIBDIR}/cmake/speccore/speccoreConfig.cmake
    ${LIBDIR}/cmake/speccore/speccoreConfigVersion.cmake ${LIBDIR}/pkgconfig/speccore.pc
    ${DATAROOTDIR}/doc/speccore/LICENSE)
foreach(f IN LISTS expected)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# Nothing else but the export's target files: no tests, no demo, not the
# programs' private library, no second kind of the library.
file(GLOB_RECURSE installed RELATIVE "${prefix}" "${prefix}/*")
list(FILTER installed EXCLUDE REGEX "/speccoreTargets(-[a-z]+)?\\.cmake$")
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n${installed}\nexpected:\n${expected}")
endif()

# The library's names all lie in the namespace speccore, so a consumer's own
# (a struct Complex, a function planeAlloc) cannot clash with them; a shared
# library exports the names of its public headers and nothing else, and each
# of those is there. A static library also holds the private names, in the
# same namespace, and the weak copies of the standard library's templates
# that its code instantiates, which the linker merges with the consumer's.
if(NM)
  # The same table twice in the order the library holds it (-p): mangled,
  # which tells the namespace whatever the name looks like (a template's
  # return type comes first once demangled), and demangled, which names it.
  set(nm_args -p --defined-only)
  if(KIND STREQUAL "shared")
    list(APPEND nm_args -D)
  else()
    list(APPEND nm_args -g)
  endif()
  run("listing the library's symbols" "${NM}" ${nm_args} "${prefix}/${library}")
  string(REPLACE "\n" ";" mangled "${out}")
  run("listing the library's symbols" "${NM}" ${nm_args} -C "${prefix}/${library}")
  string(REPLACE "\n" ";" demangled "${out}")
  # Every function the public headers declare: a line that begins with its
  # return type, after SPECCORE_API when it is exported as it should be.
  file(GLOB public_headers "${prefix}/${INCLUDEDIR}/speccore/*.h")
  set(declarations)
  foreach(file IN LISTS public_headers)
    file(READ "${file}" text)
    string(REGEX MATCHALL "\n(SPECCORE_API )?(const )?[A-Za-z][A-Za-z0-9_]*\\*? \\*?[A-Za-z][A-Za-z0-9_]*\\("
           found "${text}")
    list(APPEND declarations ${found})
  endforeach()
  set(declared)
  foreach(declaration IN LISTS declarations)
    string(REGEX MATCH "[A-Za-z0-9_]+\\($" name "${declaration}")
    string(REPLACE "(" "" name "${name}")
    list(APPEND declared "${name}")
  endforeach()
  list(LENGTH declared count)
  if(count LESS 40)
    message(FATAL_ERROR "only ${count} function declarations found in the public headers")
  endif()
  list(LENGTH mangled lines)
  list(LENGTH demangled lines_demangled)
  if(NOT lines EQUAL lines_demangled)
    message(FATAL_ERROR "nm listed ${lines} symbols, and ${lines_demangled} demangled")
  endif()
  set(exported)
  foreach(line IN LISTS mangled)
    list(POP_FRONT demangled readable)
    if(NOT line MATCHES "^[0-9a-fA-F]+ ([A-Za-z]) (.*)$")
      continue()
    endif()
    set(type "${CMAKE_MATCH_1}")
    set(symbol "${CMAKE_MATCH_2}")
    if(symbol MATCHES "^_Z[A-Z]*8speccore")
      set(name "")
      if(readable MATCHES " speccore::([A-Za-z][A-Za-z0-9_]*)\\(")
        set(name "${CMAKE_MATCH_1}")
      endif()
      if(name IN_LIST declared)
        list(APPEND exported "${name}")
      elseif(KIND STREQUAL "shared")
        message(FATAL_ERROR "private symbol exported: ${readable}")
      endif()
    elseif(KIND STREQUAL "static" AND symbol MATCHES "^_Z[A-Z]*(St|9__gnu_cxx)" AND type MATCHES "^[WVu]$")
      # a weak instantiation of the standard library's
    elseif(symbol MATCHES "^(DW\\.ref\\.|_GLOBAL__|__x86\\.|__aarch64_)")
      # what the compiler adds
    else()
      message(FATAL_ERROR "symbol outside the namespace speccore: ${readable}")
    endif()
  endforeach()
  foreach(name IN LISTS declared)
    if(NOT name IN_LIST exported)
      message(FATAL_ERROR "declared but not exported: ${name}")
    endif()
  endforeach()
endif()
if(KIND STREQUAL "shared" AND OBJDUMP)
  run("reading the library's headers" "${OBJDUMP}" -p "${prefix}/${library}")
  if(NOT out MATCHES "SONAME +libspeccore\\.so\\.${major}\n")
    message(FATAL_ERROR "no SONAME libspeccore.so.${major}:\n${out}")
  endif()
endif()

# Each consumer prints the version its header gives.
function(check_consumer what)
  if(NOT out STREQUAL "speccore ${VERSION}\n")
    message(FATAL_ERROR "${what} printed '${out}', not 'speccore ${VERSION}'")
  endif()
endfunction()

# A cross toolchain searches for packages only below its target's root, and
# the prefix is not there: the package is named by its folder instead.
set(package_args "-DCMAKE_PREFIX_PATH=${prefix}")
if(TOOLCHAIN)
  list(APPEND package_args "-Dspeccore_DIR=${prefix}/${LIBDIR}/cmake/speccore")
endif()
run("configuring the consumer" "${CMAKE_COMMAND}" -S "${CONSUMER}" -B "${WORK}/consumer-build"
    -G "${GENERATOR}" ${package_args} "-DCMAKE_CXX_COMPILER=${CXX}"
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}" ${toolchain_args})
run("building the consumer" "${CMAKE_COMMAND}" --build "${WORK}/consumer-build")
run("the consumer" ${LAUNCHER} "${WORK}/consumer-build/consumer")
check_consumer("the consumer")

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

# The same program built outside CMake, with the flags pkg-config gives; a
# static library also needs its private ones (--static).
need_tool("${PKG_CONFIG}" "pkg-config not found (Debian package pkgconf)")
set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
run("pkg-config --modversion" "${PKG_CONFIG}" --modversion speccore)
if(NOT out STREQUAL "${VERSION}\n")
  message(FATAL_ERROR "pkg-config gives version '${out}'")
endif()
set(pc_args --cflags --libs)
if(KIND STREQUAL "static")
  list(APPEND pc_args --static)
endif()
run("pkg-config" "${PKG_CONFIG}" ${pc_args} speccore)
separate_arguments(pc_flags UNIX_COMMAND "${out}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(linker_flags UNIX_COMMAND "${LINKER_FLAGS}")
run("building the consumer with pkg-config" "${CXX}" ${cxx_flags} -std=c++17
    "${CONSUMER}/main.cpp" -o consumer-pc ${pc_flags} ${linker_flags})
set(ENV{LD_LIBRARY_PATH} "${prefix}/${LIBDIR}")
run("the consumer built with pkg-config" ${LAUNCHER} "${WORK}/consumer-pc")
check_consumer("the consumer built with pkg-config")
message(STATUS "installed the ${KIND} library into ${prefix}; both consumers built and ran")
