# Running this build's programs on a processor they were not built for:
# CMake starts the tests under CMAKE_CROSSCOMPILING_EMULATOR itself, and
# everything else that starts a program (the program tests, which fork and
# exec, and the scripts of the demo, the installation and the interoperability
# tests) goes through SPEC_EMULATOR_RUN, a script that runs its arguments under
# the emulator. A single path, because the program tests take one word as
# their launcher. Included once, from the top directory.
set(emulator_words "")
foreach(word IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
  string(REPLACE "'" "'\\''" word "${word}")
  string(APPEND emulator_words "'${word}' ")
endforeach()
set(SPEC_EMULATOR_RUN "${CMAKE_BINARY_DIR}/emulator-run")
configure_file(${CMAKE_CURRENT_LIST_DIR}/emulator-run.in ${SPEC_EMULATOR_RUN} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
