#!/usr/bin/env bash
# Cross-compiles Istrel for 64-bit ARM Linux with Debian's cross compiler
# (cmake/aarch64-linux-gnu.cmake: the library, the istrel tool and the tests)
# and runs under qemu-user the tests where the NEON kernels decide the result:
# the kernel harness (every NEON kernel against its plain twin), the decoding
# of every committed vector (in both modes; those coded with the loop filter
# in the conformant mode, which filters), the exported functions' v210
# output (and the host example's), the benchmark streams' md5 lines and
# `istrel --version`.
# usage: scripts/check-aarch64.sh [BUILD_DIR]   (default build-aarch64)
set -euo pipefail
cd "$(dirname "$0")/.."

# googletest: the sources the tests build GoogleTest from for the target.
scripts/ensure-packages.sh g++-aarch64-linux-gnu qemu-user googletest
build=${1:-build-aarch64}
# The tests run under emulation; the rest of the suite runs natively.
filter='KernelTable|KernelLevels|VectorDecoding|CompatibleMode|loader_host|V210Converter|bench_stream|example_host|cli_version'

compgen -G 'bench/streams/*.264' >/dev/null ||
  echo "check-aarch64: no benchmark streams (bench/make_set.sh makes them): their md5 lines are not checked"
start=$SECONDS
echo "== aarch64 build"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DISTREL_WERROR=ON >/dev/null
grep -q '^ISTREL_QEMU_AARCH64:FILEPATH=/' "$build/CMakeCache.txt" ||
  { echo "check-aarch64: qemu-aarch64 not found (Debian: qemu-user)" >&2; exit 1; }
cmake --build "$build" -j "$(nproc)"
built=$SECONDS

echo "== aarch64 tests under qemu-user"
qemu=(qemu-aarch64 -L /usr/aarch64-linux-gnu)
"${qemu[@]}" "$build/tools/istrel" --version
scripts/ctest-no-skips.sh "$build" -j "$(nproc)" -R "$filter"
echo "check-aarch64: built in $((built - start)) s, tested in $((SECONDS - built)) s"
