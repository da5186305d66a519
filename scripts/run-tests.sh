#!/usr/bin/env bash
# Checks the sources' format; builds Istrel with g++ and clang (warnings are
# errors) and runs the whole test suite in each build, every kernel and vector
# at every instruction-set level the processor has; runs the kernel and
# decoding tests again on an emulated processor without AVX2; runs the whole
# suite again under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer; runs the tests that decode through the worker
# pool under ThreadSanitizer; fuzzes each fuzz target briefly; cross-compiles
# the Windows DLL, checks its exports and runs it in Windows processes under
# Wine; and cross-compiles for aarch64 and runs the kernel and decoding tests
# under qemu-user.
# Any sanitizer report fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh
scripts/check-format.sh
jobs=$(nproc)
# Seconds of libFuzzer per fuzz target (ISTREL_FUZZ_SECONDS overrides).
fuzz_seconds=${ISTREL_FUZZ_SECONDS:-40}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:abort_on_error=1:second_deadlock_stack=1

# Builds every target unless `targets` names some.
targets=()
configure() {
  local name=$1
  shift
  echo "== $name build"
  cmake -S . -B "build-$name" -G Ninja -DISTREL_WERROR=ON "$@" >/dev/null
  cmake --build "build-$name" -j "$jobs" ${targets[@]+--target "${targets[@]}"}
}

# run_tests NAME CTEST_FILTER; an empty filter runs every test.
run_tests() {
  scripts/ctest-no-skips.sh "build-$1" -j "$jobs" ${2:+-R "$2"}
}

# run_build NAME CTEST_FILTER CMAKE_ARGS...
run_build() {
  local name=$1 filter=$2
  shift 2
  configure "$name" "$@"
  run_tests "$name" "$filter"
}

configure gcc -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
# The benchmark set is not kept in git. Making it compares each stream's
# decoding with x264's reconstruction; the builds below then check their md5
# lines too (the build picks the new streams up).
if ! compgen -G 'bench/streams/*.264' >/dev/null; then
  echo "== benchmark set"
  bench/make_set.sh build-gcc
  cmake --build build-gcc -j "$jobs"
fi
run_tests gcc ""
run_build clang "" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
# The same build on a processor of the SSE4.1 baseline, without AVX2, BMI2 or
# LZCNT (emulated): the kernels, every vector in both modes, the field pairs
# and the loop-filter streams take the baseline paths. (The native runs above
# cover every level this processor has.)
echo "== SSE4.1-only processor (qemu-x86_64 -cpu Nehalem)"
qemu-x86_64 -cpu Nehalem build-gcc/tests/istrel_tests --gtest_brief=1 \
  --gtest_filter='*KernelTable*:*KernelLevels*:*VectorDecoding*:*CompatibleMode*:*FieldPairs*:*LoopFilter*' |
  tee build-gcc/nehalem.log
if grep -q '\[  SKIPPED \]' build-gcc/nehalem.log; then
  echo "run-tests: a test reported a skip on the emulated processor" >&2
  exit 1
fi
run_build asan "" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DISTREL_SANITIZE=ON
# The slices of a frame decode in parallel on the worker pool: the vector
# decodings, the exported functions (handles, the host example, the library
# loaded, used on two host threads and unloaded) and the pool itself.
# (Not the fuzz seeds: a buffer holding slices of several frames makes the
# overlapping slices race on the picture by construction.) Only their
# targets: the allocation tests replace operator new, which TSan's runtime
# defines too.
targets=(istrel_tests istrel host_example loader_host)
run_build tsan 'VectorDecoding|CompatibleMode|Handle\.|example_host|loader_host|WorkerPool' \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DISTREL_TSAN=ON
targets=()

configure fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DISTREL_FUZZ=ON -DISTREL_BUILD_TESTS=OFF
fuzz/make_corpus.sh build-fuzz
for target in exported_api parameter_sets slice_data; do
  echo "== fuzzing $target for ${fuzz_seconds}s"
  work="build-fuzz/fuzz/work/$target"
  rm -rf "$work" "build-fuzz/fuzz/artifacts/$target"
  mkdir -p "$work" "build-fuzz/fuzz/artifacts/$target"
  log="build-fuzz/fuzz/$target.log"
  if ! "build-fuzz/fuzz/${target}_fuzzer" -max_total_time="$fuzz_seconds" -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/fuzz/artifacts/$target/" \
    "$work" "build-fuzz/fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzzing $target failed; the input is in build-fuzz/fuzz/artifacts/$target/" >&2
    exit 1
  fi
  grep -E '^#[0-9]+.*DONE|^stat::number_of_executed_units' "$log" || true
done

# The Windows DLL: cross-compiled with MinGW-w64, exporting the six functions only.
scripts/check-windows-dll.sh build-windows
# The DLL in Windows processes (Wine): loaded, decoding, unloaded; exit with a handle open.
scripts/check-windows-wine.sh build-windows

# aarch64: cross-compiled, the NEON kernels and the decodings checked under qemu-user.
scripts/check-aarch64.sh build-aarch64
