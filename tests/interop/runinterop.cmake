# Runs one check of interop.py, or skips it when its tools are missing.
# Called with CHECK, PYTHON, MAGICK, SCRIPT, SPECFWD, SPECINV, SPECSHOW,
# SPECFILTER and SCENE, LAUNCHER when the programs need one, and FILTER_ULPS
# (the bound of numpy-filter).
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/needtool.cmake)
need_tool("${PYTHON}" "no python3 with numpy and Pillow (Debian packages python3-numpy, python3-pil)")
set(script_args)
if(NOT CHECK MATCHES "^numpy-")
  need_tool("${MAGICK}" "ImageMagick not found (Debian package imagemagick)")
  set(script_args --magick "${MAGICK}")
endif()
if(LAUNCHER)
  list(APPEND script_args --launcher "${LAUNCHER}")
endif()
if(FILTER_ULPS)
  list(APPEND script_args --ulps "${FILTER_ULPS}")
endif()
execute_process(COMMAND "${PYTHON}" "${SCRIPT}" ${CHECK} ${script_args}
                        --bin "${SPECFWD}" "${SPECINV}" "${SPECSHOW}" "${SPECFILTER}" "${SCENE}"
                COMMAND_ERROR_IS_FATAL ANY)
