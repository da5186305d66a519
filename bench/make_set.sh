#!/usr/bin/env bash
# Makes the benchmark set in bench/streams/: full-size AVC-Intra style streams of a few frames
# each (`istrel bench` repeats them), encoded by istrel-encode (libx264) from istrel-synth
# pictures. Each stream is
# checked: its structure and entropy coder through `istrel info --stats`, and its decoding
# against x264's own reconstruction (--dump-yuv), sample for sample. NAME.md5 beside each
# stream holds the per-frame md5 lines of `istrel decode --md5`.
#
# usage: bench/make_set.sh [BUILD_DIR]   (default: build; needs tools/istrel,
#                                          tools/istrel-synth and tools/istrel-encode in it)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
synth=$build/tools/istrel-synth
istrel=$build/tools/istrel
encoder=${ISTREL_ENCODE:-$build/tools/istrel-encode}
out=$root/bench/streams
frames=${ISTREL_SET_FRAMES:-8}

die() {
  echo "make_set.sh: $*" >&2
  exit 1
}

[[ -x $synth && -x $istrel ]] || die "istrel and istrel-synth not found in '$build/tools'"
[[ -x $encoder ]] ||
  die "istrel-encode not found at '$encoder' (the build makes it when libx264 is found)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Fails unless `istrel info --stats` shows the expected entropy coder and structure.
check_structure() { # stream entropy structure(progressive|mbaff)
  local info=$work/info.txt
  "$istrel" info --stats "$1" >"$info" || die "$1: istrel info --stats failed"
  grep -q "^entropy coding: *$2\$" "$info" || die "$1: not $2"
  if [[ $3 == mbaff ]]; then
    grep -q '^structure:.*, MBAFF' "$info" || die "$1: not MBAFF"
    grep -q 'field [1-9]' "$info" || die "$1: no field macroblock pairs"
  else
    grep -q '^structure: *progressive frames' "$info" || die "$1: not progressive"
  fi
}

# Decodes the stream as a host does and compares it with x264's reconstruction.
check_decoding() { # stream recon
  local decoded=$work/decoded.yuv
  "$istrel" decode "$1" -o "$decoded" 2>/dev/null || die "$1: istrel decode failed"
  cmp -s "$decoded" "$2" || die "$1: decoded pictures differ from x264's reconstruction"
  "$istrel" decode "$1" --md5 >"${1%.264}.md5" 2>/dev/null || die "$1: istrel decode --md5 failed"
}

stream() { # name width height csp class entropy structure seed [encoder options...]
  local name=$1 w=$2 h=$3 csp=$4 class=$5 entropy=$6 structure=$7 seed=$8
  shift 8
  local file=$out/$name.264 input=$work/input.yuv recon=$work/recon.yuv log=$work/encode.log
  "$synth" --width "$w" --height "$h" --frames "$frames" --csp "$csp" --depth 10 \
    --seed "$seed" -o "$input"
  if ! "$encoder" --demuxer raw --input-res "${w}x$h" --input-csp "$csp" --input-depth 10 \
    --output-csp "$csp" --output-depth 10 --frames "$frames" --avcintra-class "$class" \
    --fps 25 --keyint 1 --no-scenecut --no-deblock --ipratio 1 --threads 2 --no-progress \
    "$@" --dump-yuv "$recon" -o "$file" "$input" 2>"$log"; then
    cat "$log" >&2
    die "istrel-encode failed for $name"
  fi
  check_structure "$file" "$entropy" "$structure"
  check_decoding "$file" "$recon"
  printf '  %-32s %9d bytes  %d frames  %s %s\n' "$name.264" "$(stat -c %s "$file")" \
    "$frames" "$entropy" "$structure"
  rm -f "$input" "$recon"
}

echo "encoder: $("$encoder" --version)"
echo "benchmark set ($frames frames each):"
stream c100_1080p_422_cavlc 1920 1080 i422 100 CAVLC progressive 401
stream c200_1080p_422_cavlc 1920 1080 i422 200 CAVLC progressive 402
stream c50_1080p_420_cabac 1440 1080 i420 50 CABAC progressive 403
stream c100_1080i_422_cavlc_mbaff 1920 1080 i422 100 CAVLC mbaff 404 --interlaced
stream c50_1080i_420_cabac_mbaff 1440 1080 i420 50 CABAC mbaff 405 --interlaced
echo "total: $(cat "$out"/*.264 | wc -c) bytes"
