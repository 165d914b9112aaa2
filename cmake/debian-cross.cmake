# Cross build for a Debian architecture with Debian's cross compilers (crossbuild-essential-*).
# The including file names the architecture: FP_DEBIAN_ARCH (the package's), FP_GNU_TRIPLE (the
# compilers' prefix and the multiarch folder) and FP_QEMU (the qemu-user program that runs the
# tests, with the cross libraries as the target's root).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${FP_GNU_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${FP_GNU_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${FP_GNU_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The tests run on the cross compilers' own libraries, also where Debian's packages of the
# architecture are installed too (libstdc++6:arm64 ..., which the package's Depends are read
# from): their loader would otherwise meet that other, newer C library, and hang.
set(CMAKE_CROSSCOMPILING_EMULATOR ${FP_QEMU} -L /usr/${FP_GNU_TRIPLE} -E LD_LIBRARY_PATH=/usr/${FP_GNU_TRIPLE}/lib)
