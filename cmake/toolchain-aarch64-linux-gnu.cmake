# Cross-compiles for 64-bit Arm Linux (Debian's arm64) with Debian's cross compiler.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TESSALY_LINUX_TRIPLE aarch64-linux-gnu)
set(TESSALY_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-linux-cross.cmake)
