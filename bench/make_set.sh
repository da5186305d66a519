#!/usr/bin/env bash
# Makes the benchmark set in bench/streams/ (not kept in git; bench/run.sh calls this script
# when the folder is empty): full-size intra streams of a few frames each
# (`istrel bench` repeats them), AVC-Intra style and two 3840x2160, encoded by istrel-encode
# (libx264) from istrel-synth pictures, with x264's loop filter off. Each stream is checked: its
# structure and entropy coder through `istrel info --stats`, and its decoding against x264's own
# reconstruction (--dump-yuv), sample for sample. NAME.md5 beside each stream holds the
# per-frame md5 lines of `istrel decode --md5`.
#
# usage: bench/make_set.sh [--loop-filter DIR] [BUILD_DIR [NAME...]]
#   BUILD_DIR (default: build) needs tools/istrel, tools/istrel-synth and tools/istrel-encode.
#   NAMEs make only those streams of the set.
#   --loop-filter DIR writes the set with x264's loop filter on into DIR instead (not committed;
#   for measuring the filter's cost): the same pictures, sizes, formats, coders, structures,
#   slices and rates (see style_options). Their NAME.md5 files hold the md5 lines of x264's
#   reconstruction, which only a decoder with the filter reproduces, so their decoding is not
#   checked.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$root/bench/streams
filtered=false
if [[ ${1-} == --loop-filter ]]; then
  [[ -n ${2-} ]] || { echo "make_set.sh: --loop-filter needs a folder" >&2; exit 2; }
  out=$2 filtered=true
  shift 2
fi
build=${1:-$root/build}
shift $(($# > 0 ? 1 : 0))
only=("$@")
synth=$build/tools/istrel-synth
istrel=$build/tools/istrel
encoder=${ISTREL_ENCODE:-$build/tools/istrel-encode}

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

# The md5 lines of a reconstruction (10-bit samples, two bytes each), as `istrel decode --md5`.
recon_md5() { # recon width height csp frames out
  local recon=$1 luma=$(($2 * $3 * 2)) chroma f offset line size
  case $4 in
    i420) chroma=$((luma / 4)) ;;
    i422) chroma=$((luma / 2)) ;;
  esac
  : >"$6"
  for ((f = 0; f < $5; f++)); do
    offset=$((f * (luma + 2 * chroma))) line=$f
    for size in "$luma" "$chroma" "$chroma"; do
      line+=" $(dd if="$recon" iflag=skip_bytes,count_bytes skip="$offset" count="$size" \
        status=none | md5sum | cut -d' ' -f1)"
      offset=$((offset + size))
    done
    echo "$line" >>"$6"
  done
}

# The options that give a stream its format. x264's AVC-Intra modes always code without the
# loop filter, so the filter-on variants spell a class out instead: its rate at a constant frame
# size, its ten slices and its entropy coder. Only the AVC-Intra modes keep x264 to Intra_8x8
# macroblocks; the variants have Intra_4x4 and Intra_16x16 ones too, whose 4x4 transforms add
# luma edges to filter, so they overstate the filter's cost on real AVC-Intra streams a little.
style_options() { # style(avci50|avci100|avci200|avci480|plain)
  local class=${1#avci} rate
  [[ $1 == plain ]] && return
  if ! $filtered; then
    echo --avcintra-class "$class"
    return
  fi
  case $class in
    50) rate=56217 ;;
    100) rate=113766 ;;
    200) rate=228864 ;;
    480) rate=480000 ;;
  esac
  echo --bitrate "$rate" --vbv-maxrate "$rate" --vbv-bufsize $((rate / 25)) --slices 10 \
    "$( ((class == 50)) || echo --no-cabac)"
}

stream() { # name width height csp frames entropy structure seed style [encoder options...]
  local name=$1 w=$2 h=$3 csp=$4 frames=$5 entropy=$6 structure=$7 seed=$8 style=$9
  shift 9
  if ((${#only[@]})) && ! printf '%s\n' "${only[@]}" | grep -qx "$name"; then return; fi
  frames=${ISTREL_SET_FRAMES:-$frames}
  local file=$out/$name.264 input=$work/input.yuv recon=$work/recon.yuv log=$work/encode.log
  local format deblock=(--no-deblock)
  read -r -a format <<<"$(style_options "$style")"
  $filtered && deblock=()
  "$synth" --width "$w" --height "$h" --frames "$frames" --csp "$csp" --depth 10 \
    --seed "$seed" -o "$input"
  if ! "$encoder" --demuxer raw --input-res "${w}x$h" --input-csp "$csp" --input-depth 10 \
    --output-csp "$csp" --output-depth 10 --frames "$frames" ${format[@]+"${format[@]}"} \
    --fps 25 --keyint 1 --no-scenecut ${deblock[@]+"${deblock[@]}"} --ipratio 1 --threads 2 \
    --no-progress "$@" --dump-yuv "$recon" -o "$file" "$input" 2>"$log"; then
    cat "$log" >&2
    die "istrel-encode failed for $name"
  fi
  check_structure "$file" "$entropy" "$structure"
  if $filtered; then
    recon_md5 "$recon" "$w" "$h" "$csp" "$frames" "${file%.264}.md5"
  else
    check_decoding "$file" "$recon"
  fi
  printf '  %-32s %9d bytes  %d frames  %s %s\n' "$name.264" "$(stat -c %s "$file")" \
    "$frames" "$entropy" "$structure"
  rm -f "$input" "$recon"
}

echo "encoder: $("$encoder" --version)"
echo "benchmark set in $out$($filtered && echo ', loop filter on'):"
stream c100_1080p_422_cavlc 1920 1080 i422 8 CAVLC progressive 401 avci100
stream c200_1080p_422_cavlc 1920 1080 i422 8 CAVLC progressive 402 avci200
stream c50_1080p_420_cabac 1440 1080 i420 8 CABAC progressive 403 avci50
stream c100_1080i_422_cavlc_mbaff 1920 1080 i422 8 CAVLC mbaff 404 avci100 --interlaced
stream c50_1080i_420_cabac_mbaff 1440 1080 i420 8 CABAC mbaff 405 avci50 --interlaced
# 3840x2160 4:2:2 10-bit CABAC, 8 slices, about 2 MB a frame (400 Mbit/s at 25 fps).
stream c4k_2160p_422_cabac 3840 2160 i422 4 CABAC progressive 406 plain --qp 48 --slices 8
# 3840x2160 4:2:2 10-bit CAVLC as 4K intra cameras record in their top class: AVC-Intra class 480
# in Sony's flavour, about 2 MB a frame (480 Mbit/s at 29.97 fps).
stream c480_2160p_422_cavlc 3840 2160 i422 4 CAVLC progressive 407 avci480 --avcintra-flavor sony \
  --fps 30000/1001
echo "total: $(cat "$out"/*.264 | wc -c) bytes"
