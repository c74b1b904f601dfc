# Big-endian 64-bit Linux, with Debian's g++-s390x-linux-gnu and qemu-user:
# proves that the blob formats do not depend on the host's byte order.
set(CROSS_TRIPLE s390x-linux-gnu)
set(CROSS_PROCESSOR s390x)
set(CROSS_QEMU qemu-s390x)
set(CROSS_DEB_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
