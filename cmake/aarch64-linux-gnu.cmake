# Cross-compiles the suite for 64-bit ARM Linux with Debian's
# g++-aarch64-linux-gnu. On another processor the programs and tests run under
# user-mode emulation (Debian's qemu-user or qemu-user-static) with the ARM C
# library of /usr/aarch64-linux-gnu; on an ARM machine they run directly.
# -DCMAKE_CROSSCOMPILING_EMULATOR=... names another emulator (empty for none).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR
   AND NOT CMAKE_HOST_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
  find_program(SPEC_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
  if(SPEC_QEMU_AARCH64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SPEC_QEMU_AARCH64} -L ${CMAKE_FIND_ROOT_PATH})
  else()
    message(WARNING "qemu-aarch64 not found (Debian package qemu-user): the ARM programs are "
                    "built but cannot run here")
  endif()
endif()
