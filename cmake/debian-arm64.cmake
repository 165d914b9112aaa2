# 64-bit Arm (current Raspberry Pi boards): crossbuild-essential-arm64, tests under qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(FP_DEBIAN_ARCH arm64)
set(FP_GNU_TRIPLE aarch64-linux-gnu)
set(FP_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
