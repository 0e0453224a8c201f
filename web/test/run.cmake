# Runs one of the page's checks, or skips it when a tool it needs is missing
# (fails instead under SPECCORE_REQUIRE_TOOLS). CHECK is "kernels", the
# WebAssembly build's own tests under node, or the name of a test file of
# web/test (CHECK.test.js), run in headless Chromium against this build's
# programs. Either way the `web` preset (Debian's emscripten) is built first,
# and for the browser puppeteer-core installed from the lock file into this
# build tree, once for all the checks.
# Called with SOURCE (the project), BUILD (this build), NODE, NPM, EMXX,
# CHROMIUM, MAGICK, TOOLS (this build's tools/), SCENE and CHECK.
include(${SOURCE}/cmake/needtool.cmake)
need_tool("${NODE}" "node not found (Debian package nodejs)")
need_tool("${EMXX}" "em++ not found (Debian package emscripten)")

# Checks started side by side build once.
file(LOCK ${BUILD}/web-test.lock GUARD PROCESS TIMEOUT 1800)
execute_process(COMMAND ${CMAKE_COMMAND} --preset web WORKING_DIRECTORY ${SOURCE}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build --preset web WORKING_DIRECTORY ${SOURCE}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

if(CHECK STREQUAL "kernels")
  file(LOCK ${BUILD}/web-test.lock RELEASE)
  execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --preset web WORKING_DIRECTORY ${SOURCE}
                  COMMAND_ERROR_IS_FATAL ANY)
  return()
endif()

need_tool("${NPM}" "npm not found (Debian package npm)")
need_tool("${CHROMIUM}" "chromium not found (Debian package chromium)")
need_tool("${MAGICK}" "ImageMagick not found (Debian package imagemagick)")
set(modules ${BUILD}/web-test)
set(lock ${SOURCE}/web/test/package-lock.json)
set(installed ${modules}/node_modules/.package-lock.json)
if(NOT EXISTS ${installed} OR ${lock} IS_NEWER_THAN ${installed})
  file(COPY ${SOURCE}/web/test/package.json ${lock} DESTINATION ${modules})
  execute_process(COMMAND ${NPM} ci --ignore-scripts --no-audit --no-fund
                  WORKING_DIRECTORY ${modules} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
file(LOCK ${BUILD}/web-test.lock RELEASE)

set(ENV{NODE_PATH} ${modules}/node_modules)
set(ENV{SPEC_PAGE} ${SOURCE}/build/web/index.html)
set(ENV{SPEC_CHROMIUM} ${CHROMIUM})
set(ENV{SPEC_TOOLS} ${TOOLS})
set(ENV{SPEC_SCENE} ${SCENE})
set(ENV{SPEC_MAGICK} ${MAGICK})
set(ENV{SPEC_OUT} ${modules}/${CHECK})
file(MAKE_DIRECTORY ${modules}/${CHECK})
execute_process(COMMAND ${NODE} --test --test-reporter=tap ${CHECK}.test.js
                WORKING_DIRECTORY ${SOURCE}/web/test COMMAND_ERROR_IS_FATAL ANY)
