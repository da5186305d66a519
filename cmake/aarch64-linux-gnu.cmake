# Cross-compiles for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu), the Debian multiarch way:
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# scripts/check-aarch64.sh does this and runs the kernel and decoding tests
# under qemu-user.
#
# Headers in /usr/include are the same for every architecture (the Boost
# headers come from there); libraries and CMake packages of the target are
# looked for under /usr/lib/aarch64-linux-gnu only, where Debian's arm64
# packages put them (e.g. libpng-dev:arm64). Without an arm64 GoogleTest the
# tests build it from /usr/src/googletest (libgtest-dev); without an arm64
# libpng the istrel tool has no PNG output; Google Benchmark and libx264 are
# skipped unless an arm64 copy is installed.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ISTREL_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${ISTREL_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ISTREL_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ISTREL_CROSS_TRIPLET})

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# pkg-config answers for the target too (libx264, when libx264-dev:arm64 is
# there); PKG_CONFIG_PATH still adds the caller's directories.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${ISTREL_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)

# Target programs run under qemu-user where it is installed (Debian: qemu-user),
# so ctest and GoogleTest's test discovery can run them.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(ISTREL_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
  if(ISTREL_QEMU_AARCH64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ISTREL_QEMU_AARCH64} -L /usr/${ISTREL_CROSS_TRIPLET})
  endif()
endif()
