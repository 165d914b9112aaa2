# 32-bit Arm with hardware floating point (older Raspberry Pi systems): crossbuild-essential-armhf,
# tests under qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(FP_DEBIAN_ARCH armhf)
set(FP_GNU_TRIPLE arm-linux-gnueabihf)
set(FP_QEMU qemu-arm)
# g++ notes that GCC 10 changed how a pair of doubles is passed on 32-bit Arm: that matters only
# for code mixed across compiler versions, and everything here is built at once.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
