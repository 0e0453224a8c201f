# A test that cannot run on this machine, counted as skipped (or failed when
# SPECCORE_REQUIRE_TOOLS is set) rather than left out: called with WHY.
include(${CMAKE_CURRENT_LIST_DIR}/needtool.cmake)
need_tool("" "${WHY}")
