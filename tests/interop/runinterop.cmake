# Runs one check of interop.py, or skips it when its tools are missing.
# Called with CHECK, PYTHON, MAGICK, SCRIPT, SPECFWD, SPECINV, SPECSHOW,
# SPECFILTER and SCENE.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/needtool.cmake)
need_tool("${PYTHON}" "no python3 with numpy and Pillow (Debian packages python3-numpy, python3-pil)")
set(magick_args)
if(NOT CHECK MATCHES "^numpy-")
  need_tool("${MAGICK}" "ImageMagick not found (Debian package imagemagick)")
  set(magick_args --magick "${MAGICK}")
endif()
execute_process(COMMAND "${PYTHON}" "${SCRIPT}" ${CHECK} ${magick_args}
                        --bin "${SPECFWD}" "${SPECINV}" "${SPECSHOW}" "${SPECFILTER}" "${SCENE}"
                COMMAND_ERROR_IS_FATAL ANY)
