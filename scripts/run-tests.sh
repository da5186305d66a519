#!/usr/bin/env bash
# Builds Istrel with g++ and clang (warnings are errors) and runs the whole
# test suite in each build, the last one under AddressSanitizer, LeakSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh
jobs=$(nproc)

run_build() {
  local name=$1
  shift
  echo "== $name build"
  cmake -S . -B "build-$name" -G Ninja -DISTREL_WERROR=ON "$@" >/dev/null
  cmake --build "build-$name" -j "$jobs"
  (cd "build-$name" && ctest --output-on-failure -j "$jobs")
}

run_build gcc -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
run_build clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_build asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DISTREL_SANITIZE=ON
