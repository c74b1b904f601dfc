# Shared part of the Debian cross toolchains. The including file sets
# CROSS_TRIPLE (the GNU triple of the target), CROSS_PROCESSOR, CROSS_QEMU
# (the user-mode emulator) and CROSS_DEB_ARCH (the Debian architecture name).

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${CROSS_PROCESSOR})

set(CMAKE_C_COMPILER ${CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${CROSS_TRIPLE}-g++)

# Debian puts the target's libc and libstdc++ under /usr/<triple>.
set(CROSS_SYSROOT /usr/${CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Package configs are looked up on the host as well: the JSON library is
# header-only and its config lives in the architecture-independent
# /usr/share/cmake. Libraries with code (GoogleTest) are built from source.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Test executables, test discovery and black-box runs of the programs go
# through the emulator, which finds the target's loader and libraries in the
# sysroot.
find_program(CROSS_QEMU_PATH ${CROSS_QEMU} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CROSS_QEMU_PATH} -L ${CROSS_SYSROOT})

set(RAVELIN_DEB_ARCH ${CROSS_DEB_ARCH} CACHE STRING "Debian architecture of the packages")
