# Lints the manual pages with one formatter and fails on any message it gives.
# Called with LINTER (mandoc or groff), MANDOC, MAKEWHATIS, GROFF, PAGES1,
# PAGES5 (the section 1 and 5 pages) and TREE (a scratch folder).
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/needtool.cmake)
set(pages ${PAGES1} ${PAGES5})

if(LINTER STREQUAL "mandoc")
  need_tool("${MANDOC}" "mandoc not found (Debian package mandoc)")
  # The pages refer to one another: laid out as a manual tree with its index,
  # mandoc can check at its strictest level that every reference resolves.
  set(level warning)
  set(tree_args)
  if(MAKEWHATIS)
    file(REMOVE_RECURSE "${TREE}")
    file(COPY ${PAGES1} DESTINATION "${TREE}/man1")
    file(COPY ${PAGES5} DESTINATION "${TREE}/man5")
    execute_process(COMMAND "${MAKEWHATIS}" "${TREE}" RESULT_VARIABLE status)
    if(status EQUAL 0)
      set(level style)
      set(tree_args -M "${TREE}")
    endif()
  endif()
  execute_process(COMMAND "${MANDOC}" -T lint -W ${level} ${tree_args} ${pages}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  message(STATUS "mandoc -T lint -W ${level}: status ${status}")
else()
  need_tool("${GROFF}" "groff not found (Debian package groff)")
  set(status 0)
  set(out "")
  foreach(page IN LISTS pages)
    execute_process(COMMAND "${GROFF}" -mandoc -ww -z "${page}"
                    RESULT_VARIABLE page_status OUTPUT_VARIABLE page_out ERROR_VARIABLE page_out)
    if(NOT page_status EQUAL 0)
      set(status ${page_status})
    endif()
    string(APPEND out "${page_out}")
  endforeach()
  message(STATUS "groff -mandoc -ww -z: status ${status}")
endif()

if(NOT status EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "${LINTER} complains about the manual pages:\n${out}")
endif()
