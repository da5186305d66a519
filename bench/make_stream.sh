#!/usr/bin/env bash
# Makes a long 1920x1080 AVC-Intra stream for speed measurements (not committed:
# about 1.4 MB a frame).
# usage: bench/make_stream.sh CLASS FRAMES OUT.264 [istrel-synth [istrel-encode]]
#   The tools default to build/tools/; $ISTREL_SYNTH and $ISTREL_ENCODE may name them too.
#   CLASS 100: 4:2:2 10-bit CAVLC, about 110 Mbit/s at 25 fps; CLASS 50: 1440x1080 4:2:0 CABAC.
set -euo pipefail
class=$1 frames=$2 out=$3
root=$(cd "$(dirname "$0")/.." && pwd)
synth=${4:-${ISTREL_SYNTH:-$root/build/tools/istrel-synth}}
encoder=${5:-${ISTREL_ENCODE:-$root/build/tools/istrel-encode}}
case $class in
  100 | 200) size=1920x1080 csp=i422 ;;
  50) size=1440x1080 csp=i420 ;;
  *) echo "make_stream.sh: class 50, 100 or 200" >&2; exit 2 ;;
esac
"$synth" --width "${size%x*}" --height "${size#*x}" --frames "$frames" --csp "$csp" --depth 10 -o - |
  "$encoder" --avcintra-class "$class" --fps 25 --input-res "$size" --input-csp "$csp" \
    --input-depth 10 --output-csp "$csp" --output-depth 10 --threads 2 -o "$out" - 2>&1 | tail -1
