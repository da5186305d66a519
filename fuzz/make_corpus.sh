#!/usr/bin/env bash
# Makes seed corpora for the fuzz targets from the committed test vectors:
#   fuzz/make_corpus.sh BUILD_DIR [OUT_DIR]
# BUILD_DIR is a configured and built tree (any options; it holds
# fuzz/fuzz_seeds). OUT_DIR defaults to BUILD_DIR/fuzz/corpus and gets one
# folder per target: exported_api (two zero bytes, the host fields the stream
# codes, then the stream's first 64 KB), parameter_sets (the first 4 KB: the
# parameter sets and the start of the first slice) and slice_data (cut by
# fuzz_seeds).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build=${1:?usage: fuzz/make_corpus.sh BUILD_DIR [OUT_DIR]}
out=${2:-$build/fuzz/corpus}

seeds="$build/fuzz/fuzz_seeds"
[ -x "$seeds" ] || cmake --build "$build" --target fuzz_seeds
rm -rf "$out"
mkdir -p "$out/exported_api" "$out/parameter_sets"
for vector in "$root"/tests/vectors/*.264; do
  name=$(basename "$vector" .264)
  { printf '\0\0'; head -c 65536 "$vector"; } >"$out/exported_api/$name"
  head -c 4096 "$vector" >"$out/parameter_sets/$name"
done
"$seeds" "$out/slice_data" "$root"/tests/vectors/*.264
for target in exported_api parameter_sets slice_data; do
  echo "$target: $(find "$out/$target" -type f | wc -l) seeds" >&2
done
