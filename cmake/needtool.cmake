# Included by the test scripts that need a tool from outside the project
# (ImageMagick, Pillow and numpy, mandoc, groff). need_tool(<value> <why>)
# ends the calling script when <value> is empty or NOTFOUND: the test is
# reported as skipped, or fails when SPECCORE_REQUIRE_TOOLS is set in the
# environment (as the continuous-integration run does, so that its tools are
# known to have run).
macro(need_tool value why)
  if("${value}" STREQUAL "" OR "${value}" MATCHES "NOTFOUND$")
    if(DEFINED ENV{SPECCORE_REQUIRE_TOOLS})
      message(FATAL_ERROR "${why}, and SPECCORE_REQUIRE_TOOLS is set")
    endif()
    message("SKIPPED: ${why}")
    return()
  endif()
endmacro()

# A test registered with this skip pattern counts as skipped when its script
# ends through need_tool.
set(NEED_TOOL_SKIP_PATTERN "SKIPPED: ")
