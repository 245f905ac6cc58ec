# Cross-compiles for 64-bit IBM Z Linux (Debian's s390x), a big-endian processor, with Debian's
# cross compiler.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(TESSALY_LINUX_TRIPLE s390x-linux-gnu)
set(TESSALY_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-linux-cross.cmake)
