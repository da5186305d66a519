#!/usr/bin/env bash
# Cuts the committed test vectors into seed corpora for the fuzz targets:
#   fuzz/make_corpus.sh BUILD_DIR [OUT_DIR]
# BUILD_DIR is a configured and built tree (any options; it holds
# fuzz/fuzz_seeds). OUT_DIR defaults to BUILD_DIR/fuzz/corpus and gets one
# folder per target: exported_api, parameter_sets, slice_data.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build=${1:?usage: fuzz/make_corpus.sh BUILD_DIR [OUT_DIR]}
out=${2:-$build/fuzz/corpus}

seeds="$build/fuzz/fuzz_seeds"
[ -x "$seeds" ] || cmake --build "$build" --target fuzz_seeds
rm -rf "$out"
mkdir -p "$out"
"$seeds" "$out" "$root"/tests/vectors/*.264
for target in exported_api parameter_sets slice_data; do
  echo "$target: $(find "$out/$target" -type f | wc -l) seeds" >&2
done
