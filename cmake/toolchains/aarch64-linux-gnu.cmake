# 64-bit ARM Linux (the device), with Debian's g++-aarch64-linux-gnu and qemu-user.
set(CROSS_TRIPLE aarch64-linux-gnu)
set(CROSS_PROCESSOR aarch64)
set(CROSS_QEMU qemu-aarch64)
set(CROSS_DEB_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
