# Cross-compiles for Linux on aarch64 (64-bit ARM) with Debian's
# g++-aarch64-linux-gnu. The core has no SSE2 there and takes its plain C++
# path (math/simd.h). The programs run on this machine under qemu-aarch64
# (package qemu-user), with the target's libraries from its sysroot.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(aarch64_triple aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${aarch64_triple}-gcc)
set(CMAKE_CXX_COMPILER ${aarch64_triple}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${aarch64_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${aarch64_triple})
