#!/usr/bin/env bash
# Cross-compiles the library as a 64-bit Windows DLL with MinGW-w64 (the
# library and the host example only) and checks that the DLL exports exactly
# the six functions of include/istrel/istrel.h, under their plain names.
# usage: scripts/check-windows-dll.sh [BUILD_DIR]   (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh
build=${1:-build-windows}
objdump=x86_64-w64-mingw32-objdump

# The Boost headers are header-only; reach Debian's copy without putting all
# of /usr/include on the Windows include path.
mkdir -p "$build/boost-include"
ln -sfn /usr/include/boost "$build/boost-include/boost"
boost_include=$(cd "$build/boost-include" && pwd)

echo "== windows build"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DISTREL_WERROR=ON -DISTREL_BUILD_TESTS=OFF \
  -DISTREL_BUILD_TOOLS=OFF -DISTREL_BUILD_BENCHMARKS=OFF -DISTREL_BUILD_EXAMPLES=ON \
  -DBoost_INCLUDE_DIR="$boost_include" >/dev/null
cmake --build "$build" -j "$(nproc)"

dll="$build/istrel.dll"
[ -f "$dll" ] || { echo "check-windows-dll: $dll was not built" >&2; exit 1; }

dump=$("$objdump" -p "$dll")
# The named exports: the lines after "[Ordinal/Name Pointer] Table" up to the
# next blank line, one "[ n] name" each.
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next}
  t && NF == 0 {t = 0} t {print $NF}' <<<"$dump" | sort)
# Every export, named or by ordinal only, has an entry in the address table.
entries=$(awk '/^\tExport Address Table[ \t]+[0-9a-fA-F]+$/ {print $NF; exit}' <<<"$dump")
entries=$((16#${entries:-0}))
expected=$(printf '%s\n' AVCIDecodeFrame AVCIFileClose AVCIFileOpen AVCINewTepDecoder \
  AVCIReadAspectRatio AVCIntraDispose | sort)
echo "exports of $dll ($entries in the address table):"
sed 's/^/  /' <<<"$exports"
if [ "$exports" != "$expected" ] || [ "$entries" -ne 6 ]; then
  echo "check-windows-dll: the exports differ from the six functions of istrel.h" >&2
  exit 1
fi

# One file: no runtime DLL of the compiler may be needed beside it.
imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump" | sort -u)
echo "imports: $(tr '\n' ' ' <<<"$imports")"
if echo "$imports" | grep -Eiq 'libstdc\+\+|libgcc|libwinpthread'; then
  echo "check-windows-dll: $dll needs a MinGW runtime DLL" >&2
  exit 1
fi
echo "check-windows-dll: passed"
