# Cross build for 64-bit ARM Linux with Debian's cross compilers:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# The results run on ARM64 Linux, or here under qemu-user (Debian's
# qemu-user), which ctest and the tests start them through.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(QUORVANE_AARCH64_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${QUORVANE_AARCH64_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUORVANE_AARCH64_TRIPLET}-g++)

# The C library and loader that Debian's cross packages install. Where
# Debian's own arm64 libraries are installed too (multiarch, which the arm64
# packages' dependencies need), the loader would find them through the
# machine's /etc/ld.so.cache and mix them with the cross root's loader, and
# programs hang: the library path keeps every program to the cross root.
set(QUORVANE_AARCH64_ROOT /usr/${QUORVANE_AARCH64_TRIPLET})
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${QUORVANE_AARCH64_ROOT}
  -E LD_LIBRARY_PATH=${QUORVANE_AARCH64_ROOT}/lib)

set(CMAKE_FIND_ROOT_PATH ${QUORVANE_AARCH64_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
