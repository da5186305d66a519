#!/usr/bin/env bash
# Regenerates every test vector in this folder, and the sample stream in samples/, from
# istrel-synth pictures encoded by istrel-encode (libx264). The expected pictures are x264's own
# reconstruction.
#
# usage: tests/vectors/generate.sh [path/to/istrel-synth [path/to/istrel-encode]]
#   The tool paths may also come from $ISTREL_SYNTH and $ISTREL_ENCODE; default:
#   build/tools/istrel-synth and build/tools/istrel-encode. Builds nothing. Needs md5sum, od,
#   dd, grep.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
synth=${1:-${ISTREL_SYNTH:-$root/build/tools/istrel-synth}}
encoder=${2:-${ISTREL_ENCODE:-$root/build/tools/istrel-encode}}
samples=$root/samples

die() {
  echo "generate.sh: $*" >&2
  exit 1
}

[[ -x $synth ]] || die "istrel-synth not found at '$synth' (pass its path or set ISTREL_SYNTH)"
[[ -x $encoder ]] || die "istrel-encode not found at '$encoder' (pass its path or set" \
  "ISTREL_ENCODE; the build makes it when libx264 is found)"
for tool in md5sum od dd grep; do
  command -v "$tool" >/dev/null || die "$tool is required"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Bytes per plane of one frame: luma, then each chroma plane.
plane_sizes() { # width height csp depth
  local w=$1 h=$2 csp=$3 bytes=$(($4 > 8 ? 2 : 1)) cw ch
  case $csp in
    i420) cw=$((w / 2)) ch=$((h / 2)) ;;
    i422) cw=$((w / 2)) ch=$h ;;
    i444) cw=$w ch=$h ;;
    *) die "unknown csp $csp" ;;
  esac
  echo $((w * h * bytes)) $((cw * ch * bytes))
}

# One line per frame: index, md5 of Y, Cb, Cr.
write_md5() { # recon width height csp depth frames out
  local recon=$1 frames=$6 out=$7 luma chroma
  read -r luma chroma < <(plane_sizes "$2" "$3" "$4" "$5")
  local frame_bytes=$((luma + 2 * chroma))
  local actual
  actual=$(stat -c %s "$recon")
  ((actual == frames * frame_bytes)) ||
    die "$out: reconstruction holds $actual bytes, expected $frames frames of $frame_bytes"
  : >"$out"
  local f offset line size
  for ((f = 0; f < frames; f++)); do
    offset=$((f * frame_bytes))
    line=$f
    for size in "$luma" "$chroma" "$chroma"; do
      line+=" $(dd if="$recon" iflag=skip_bytes,count_bytes skip="$offset" count="$size" \
        status=none | md5sum | cut -d' ' -f1)"
      offset=$((offset + size))
    done
    echo "$line" >>"$out"
  done
}

# Each NAL unit as "type:bits", its type and the 16 bits after its header, in stream order. A
# slice's bits start with first_mb_in_slice, which is 0 (a 1 bit) only in the first slice of a
# picture; a PPS's with its own id and its SPS's id, then entropy_coding_mode_flag.
nal_units() { # stream
  od -An -v -tx1 "$1" | tr -d '\n' |
    grep -o ' 00 00 01 [0-9a-f][0-9a-f] [0-9a-f][0-9a-f] [0-9a-f][0-9a-f]' |
    while read -r _ _ _ header first second; do
      echo "$((0x$header & 31)):$((0x$first << 8 | 0x$second))"
    done
}

# Reads the Exp-Golomb code at bit `pos` (0: the top) of a 16-bit value into ue_value, and the
# position after it into pos.
read_ue() { # bits
  local bits=$1 zeros=0
  while ((pos + zeros < 16 && !((bits >> (15 - pos - zeros)) & 1))); do
    zeros=$((zeros + 1))
  done
  pos=$((pos + zeros + 1))
  ((pos + zeros <= 16)) || die "Exp-Golomb code longer than the bits read"
  ue_value=$(((1 << zeros) - 1 + (bits >> (16 - pos - zeros) & ((1 << zeros) - 1))))
  pos=$((pos + zeros))
}

# Checks the stream against what its case declares and prints one summary line.
verify() { # stream frames entropy slices parameter-set-id log
  local stream=$1 frames=$2 entropy=$3 slices=$4 id=$5 log=$6
  local pictures=0 slice_count=0 sps=0 pps=0 flag expect type bits pos ue_value pps_id sei modes
  [[ $entropy == cabac ]] && expect=1 || expect=0
  while IFS=: read -r type bits; do
    case $type in
      1 | 5)
        slice_count=$((slice_count + 1))
        ((bits & 0x8000)) && pictures=$((pictures + 1))
        ;;
      7) sps=$((sps + 1)) ;;
      8)
        pps=$((pps + 1))
        pos=0
        read_ue "$bits"
        pps_id=$ue_value
        read_ue "$bits"
        ((pps_id == id && ue_value == id)) ||
          die "$stream: PPS $pps_id of SPS $ue_value, expected both $id"
        flag=$((bits >> (15 - pos) & 1))
        ((flag == expect)) || die "$stream: entropy_coding_mode_flag $flag, expected $entropy"
        ;;
    esac
  done < <(nal_units "$stream")
  ((pictures == frames)) || die "$stream: $pictures pictures, expected $frames"
  ((slice_count == frames * slices)) ||
    die "$stream: $slice_count slices, expected $slices per frame"
  ((sps == frames && pps == frames)) || die "$stream: parameter sets not repeated per frame"
  # x264 embeds its settings in an SEI message, except in AVC-Intra streams.
  sei=$(grep -a -o -m 1 'cabac=[01]' "$stream" || true)
  sei=${sei%%$'\n'*}
  [[ -z $sei || $sei == "cabac=$expect" ]] || die "$stream: x264 reports $sei, expected $entropy"
  modes=$(grep -o 'mb I .*' "$log" || true)
  printf '  %-34s %7d bytes %d pictures %2d slices each  %s  %s\n' "$(basename "$stream")" \
    "$(stat -c %s "$stream")" "$pictures" "$((slice_count / frames))" "$entropy" "${modes#mb I  }"
}

# Synthesises, encodes and checks one stream; writes STREAM and its .md5 beside it.
encode() { # stream width height csp depth frames entropy slices seed [encoder options...]
  local stream=$1 w=$2 h=$3 csp=$4 depth=$5 frames=$6 entropy=$7 slices=$8 seed=$9
  shift 9
  local input=$work/input.yuv recon=$work/recon.yuv log=$work/x264.log
  # The parameter-set id the options ask for; x264 gives the PPS the SPS's id.
  local options=("$@") id=0 i
  for ((i = 0; i + 1 < ${#options[@]}; i++)); do
    [[ ${options[i]} == --sps-id ]] && id=${options[i + 1]}
  done
  rm -f "$input" "$recon"
  "$synth" --width "$w" --height "$h" --frames "$frames" --csp "$csp" --depth "$depth" \
    --seed "$seed" -o "$input"
  # Raw input only, every frame an IDR picture.
  if ! "$encoder" --demuxer raw --input-res "${w}x$h" --input-csp "$csp" --input-depth "$depth" \
    --output-csp "$csp" --output-depth "$depth" --frames "$frames" --keyint 1 --no-scenecut \
    --threads 1 --ipratio 1 --no-progress "$@" --dump-yuv "$recon" \
    -o "$stream" "$input" 2>"$log"; then
    cat "$log" >&2
    die "istrel-encode failed for $stream"
  fi
  write_md5 "$recon" "$w" "$h" "$csp" "$depth" "$frames" "${stream%.264}.md5"
  verify "$stream" "$frames" "$entropy" "$slices" "$id" "$log"
  rm -f "$input" "$recon"
}

manifest=$here/vectors.txt
: >"$manifest"

# How the compatible mode decodes a case, the manifests' `compatible` column (README.md):
# the documented deviations, parameter sets other than id 0 (refused), more than ten slices
# (decoded in part).
compatible_mode() { # name slices
  case $1 in
    cqm_lowqp_422_10bit | mbaff_cabac_slices10_422_10bit | lf_mbaff_highqp_420_8bit | \
      lf_mbaff_slices10_* | lf_1080i_422_10bit) echo deviates ;;
    *sps_id*) echo refused ;;
    *) if (($2 > 10)); then echo partial; elif [[ $1 == lf_* ]]; then echo unfiltered; else
      echo same; fi ;;
  esac
}

# One case of a manifest: encodes it and adds its line.
add_case() { # manifest name width height csp depth frames entropy slices seed note -- options...
  local list=$1 name=$2 w=$3 h=$4 csp=$5 depth=$6 frames=$7 entropy=$8 slices=$9 seed=${10}
  local note=${11}
  shift 11
  [[ ${1-} == -- ]] && shift
  encode "$here/$name.264" "$w" "$h" "$csp" "$depth" "$frames" "$entropy" "$slices" "$seed" "$@"
  echo "$name $w $h $csp $depth $frames $entropy $slices $(compatible_mode "$name" "$slices")" \
    "$note" >>"$list"
}

# A vector of vectors.txt: x264's loop filter off, as the decoder without one reconstructs.
vector() { # name width height csp depth frames entropy slices seed note -- encoder options...
  local head=("${@:1:10}")
  shift 10
  [[ ${1-} == -- ]] && shift
  add_case "$manifest" "${head[@]}" -- --no-deblock "$@"
}

echo "encoder: $("$encoder" --version)"
echo "vectors:"

cavlc=(--no-cabac --fps 25)

# Chroma formats and bit depths. For 10 bits x264's QP scale starts at -12, so 38 there is 26.
vector cavlc_420_8bit 352 288 i420 8 3 cavlc 1 101 "4:2:0 8-bit, qp 26, one slice" -- \
  "${cavlc[@]}" --qp 26 --no-psy
vector cavlc_420_10bit 352 288 i420 10 3 cavlc 1 102 "4:2:0 10-bit, qp 26, one slice" -- \
  "${cavlc[@]}" --qp 38 --no-psy
vector cavlc_422_8bit 352 288 i422 8 3 cavlc 1 103 "4:2:2 8-bit, qp 26, one slice" -- \
  "${cavlc[@]}" --qp 26 --no-psy
vector cavlc_422_10bit 352 288 i422 10 3 cavlc 1 104 "4:2:2 10-bit, qp 26, one slice" -- \
  "${cavlc[@]}" --qp 38 --no-psy
vector cavlc_444_8bit 352 288 i444 8 2 cavlc 1 105 "4:4:4 8-bit, qp 26, one slice" -- \
  "${cavlc[@]}" --qp 26 --no-psy
vector cavlc_444_10bit 352 288 i444 10 2 cavlc 1 106 "4:4:4 10-bit, qp 26, one slice" -- \
  "${cavlc[@]}" --qp 38 --no-psy

# AVC-Intra: x264 picks the entropy coder, slice count, matrices and rate itself.
vector avci100_720p_422_10bit 1280 720 i422 10 2 cavlc 10 111 \
  "AVC-Intra class 100 720p50, SPS scaling matrices, 8x8 transform only" -- \
  --avcintra-class 100 --fps 50
vector avci100_1080p_422_10bit 1920 1080 i422 10 1 cavlc 10 114 \
  "AVC-Intra class 100 1080p25, about 110 Mbit/s, coded height 1088 cropped" -- \
  --avcintra-class 100 --fps 25
vector avci200_720p_422_10bit 1280 720 i422 10 1 cavlc 10 112 \
  "AVC-Intra class 200 720p50, 8x8 transform only" -- \
  --avcintra-class 200 --fps 50
vector avci50_720p_420_10bit 960 720 i420 10 1 cabac 10 113 \
  "AVC-Intra class 50 720p50 (960x720, SAR 4:3), 8x8 transform only" -- \
  --avcintra-class 50 --fps 50

# Quantisation matrices.
vector cqm_jvt_422_10bit 352 288 i422 10 2 cavlc 1 121 "--cqm jvt: PPS matrices, every list falling back to the default, qp 26" -- \
  "${cavlc[@]}" --qp 38 --no-psy --cqm jvt
vector cqm_custom_420_8bit 352 288 i420 8 2 cavlc 1 122 \
  "--cqmfile custom_matrix.cfg: asymmetric explicit matrices, qp 24" -- \
  "${cavlc[@]}" --qp 24 --no-psy --cqmfile "$here/custom_matrix.cfg"
vector cqm_custom_444_8bit 176 144 i444 8 2 cavlc 1 123 \
  "--cqmfile custom_matrix.cfg with the 4:4:4 chroma 8x8 lists, qp 24" -- \
  "${cavlc[@]}" --qp 24 --no-psy --cqmfile "$here/custom_matrix.cfg"

# 4:2:2 chroma DC scaled at q below 4 with weights that are not multiples of 16: where the
# compatible mode's two-step rounding of the chroma DC shows.
vector cqm_lowqp_422_10bit 176 144 i422 10 2 cavlc 1 124 \
  "--cqm jvt at qp -4: 4:2:2 chroma DC rounding at q below 4" -- \
  "${cavlc[@]}" --qp 8 --no-psy --cqm jvt

# Lossless: transform bypass, and I_PCM where the noise makes raw samples cheapest.
vector lossless_420_8bit 176 144 i420 8 2 cavlc 1 131 "qp 0 lossless, transform bypass, I_PCM" -- \
  "${cavlc[@]}" --qp 0 --no-psy
vector lossless_422_10bit 176 144 i422 10 2 cavlc 1 132 "qp 0 lossless, transform bypass, I_PCM" -- \
  "${cavlc[@]}" --qp 0 --no-psy
vector lossless_444_8bit 176 144 i444 8 2 cavlc 1 133 "qp 0 lossless 4:4:4, I_PCM" -- \
  "${cavlc[@]}" --qp 0 --no-psy

# Picture structure and slicing.
vector fake_interlaced_420_10bit 352 240 i420 10 2 cavlc 1 141 \
  "--fake-interlaced: frame_mbs_only_flag 0 without MBAFF, coded height 256 cropped in field units" -- \
  "${cavlc[@]}" --qp 38 --no-psy --fake-interlaced
vector no8x8dct_422_10bit 352 288 i422 10 2 cavlc 1 142 "--no-8x8dct: 4x4 and 16x16 only" -- \
  "${cavlc[@]}" --qp 38 --no-psy --no-8x8dct
vector slices4_420_8bit 352 288 i420 8 2 cavlc 4 143 "4 slices" -- \
  "${cavlc[@]}" --qp 26 --no-psy --slices 4
vector slices10_422_10bit 352 288 i422 10 2 cavlc 10 144 "10 slices" -- \
  "${cavlc[@]}" --qp 38 --no-psy --slices 10

# Extreme quantisers. Psy stays on at low QP: it keeps x264 from I_PCM, so the large levels
# get coded. 10-bit qp 1 is a negative luma QP (-11).
vector lowqp_420_8bit 352 288 i420 8 2 cavlc 1 151 "qp 2, large levels" -- \
  "${cavlc[@]}" --qp 2
vector lowqp_422_10bit 176 144 i422 10 2 cavlc 1 152 "qp -11 (encoder --qp 1), large levels" -- \
  "${cavlc[@]}" --qp 1
vector highqp_420_8bit 352 288 i420 8 2 cavlc 1 153 "qp 51" -- \
  "${cavlc[@]}" --qp 51 --no-psy
vector highqp_422_10bit 352 288 i422 10 2 cavlc 1 154 "qp 48 (encoder --qp 60)" -- \
  "${cavlc[@]}" --qp 60 --no-psy

# I_PCM among coded macroblocks, away from lossless.
vector pcm_422_10bit 176 144 i422 10 2 cavlc 1 155 "qp 12 (encoder --qp 24), I_PCM on noise" -- \
  "${cavlc[@]}" --qp 24 --no-psy

# Sizes that are not whole macroblocks.
vector crop_200x120_420_8bit 200 120 i420 8 2 cavlc 1 161 "200x120: 8 columns and 8 rows cropped" -- \
  "${cavlc[@]}" --qp 26 --no-psy
vector crop_176x100_422_10bit 176 100 i422 10 2 cavlc 1 162 "height 100: 12 rows cropped" -- \
  "${cavlc[@]}" --qp 38 --no-psy

# CABAC counterparts of the cases above.
cabac=(--fps 25)
vector cabac_420_8bit 176 144 i420 8 2 cabac 1 171 "CABAC 4:2:0 8-bit, qp 16, a few I_PCM" -- \
  "${cabac[@]}" --qp 16 --no-psy
vector cabac_420_10bit 352 288 i420 10 2 cabac 1 172 "CABAC 4:2:0 10-bit, qp 26" -- \
  "${cabac[@]}" --qp 38 --no-psy
vector cabac_422_8bit 352 288 i422 8 2 cabac 1 173 "CABAC 4:2:2 8-bit, qp 26" -- \
  "${cabac[@]}" --qp 26 --no-psy
vector cabac_422_10bit 352 288 i422 10 2 cabac 1 174 "CABAC 4:2:2 10-bit, qp 26" -- \
  "${cabac[@]}" --qp 38 --no-psy
vector cabac_444_8bit 176 144 i444 8 2 cabac 1 175 "CABAC 4:4:4 8-bit, qp 26" -- \
  "${cabac[@]}" --qp 26 --no-psy
vector cabac_444_10bit 176 144 i444 10 2 cabac 1 176 "CABAC 4:4:4 10-bit, qp 26" -- \
  "${cabac[@]}" --qp 38 --no-psy
vector avci50_1080p_420_10bit 1440 1080 i420 10 1 cabac 10 177 \
  "AVC-Intra class 50 1080p25 (1440x1080), about 55 Mbit/s" -- \
  --avcintra-class 50 --fps 25
vector cabac_cqm_jvt_422_10bit 176 144 i422 10 2 cabac 1 178 "CABAC, --cqm jvt, qp 26" -- \
  "${cabac[@]}" --qp 38 --no-psy --cqm jvt
vector cabac_cqm_custom_444_8bit 176 144 i444 8 2 cabac 1 179 \
  "CABAC, --cqmfile custom_matrix.cfg with the 4:4:4 chroma 8x8 lists, qp 24" -- \
  "${cabac[@]}" --qp 24 --no-psy --cqmfile "$here/custom_matrix.cfg"
vector cabac_lossless_420_8bit 176 144 i420 8 2 cabac 1 180 "CABAC qp 0 lossless, I_PCM" -- \
  "${cabac[@]}" --qp 0 --no-psy
vector cabac_lossless_422_10bit 176 144 i422 10 2 cabac 1 181 "CABAC qp 0 lossless, I_PCM" -- \
  "${cabac[@]}" --qp 0 --no-psy
vector cabac_lossless_444_10bit 176 144 i444 10 2 cabac 1 182 "CABAC qp 0 lossless 4:4:4" -- \
  "${cabac[@]}" --qp 0 --no-psy
vector cabac_fake_interlaced_422_10bit 176 144 i422 10 2 cabac 1 183 \
  "CABAC --fake-interlaced: frame_mbs_only_flag 0 without MBAFF" -- \
  "${cabac[@]}" --qp 38 --no-psy --fake-interlaced
vector cabac_no8x8dct_420_8bit 176 144 i420 8 2 cabac 1 184 "CABAC --no-8x8dct" -- \
  "${cabac[@]}" --qp 26 --no-psy --no-8x8dct
vector cabac_slices4_422_10bit 352 288 i422 10 2 cabac 4 185 "CABAC, 4 slices" -- \
  "${cabac[@]}" --qp 38 --no-psy --slices 4
vector cabac_slices10_420_8bit 352 288 i420 8 2 cabac 10 186 "CABAC, 10 slices" -- \
  "${cabac[@]}" --qp 26 --no-psy --slices 10
vector cabac_lowqp_420_8bit 176 144 i420 8 2 cabac 1 187 "CABAC qp 2, large levels" -- \
  "${cabac[@]}" --qp 2
vector cabac_lowqp_422_10bit 176 144 i422 10 2 cabac 1 188 "CABAC qp -11, large levels" -- \
  "${cabac[@]}" --qp 1
vector cabac_pcm_422_10bit 176 144 i422 10 2 cabac 1 189 "CABAC qp 12, I_PCM on noise" -- \
  "${cabac[@]}" --qp 24 --no-psy
vector cabac_highqp_422_10bit 176 144 i422 10 2 cabac 1 190 "CABAC qp 48" -- \
  "${cabac[@]}" --qp 60 --no-psy
vector cabac_crop_200x120_420_10bit 200 120 i420 10 2 cabac 1 191 \
  "CABAC 200x120: columns and rows cropped" -- \
  "${cabac[@]}" --qp 38 --no-psy

# MBAFF frames: x264's --tff codes adaptive frame/field macroblock pairs.
vector mbaff_cavlc_420_8bit 176 144 i420 8 2 cavlc 1 301 "MBAFF CAVLC 4:2:0 8-bit, qp 26" -- \
  "${cavlc[@]}" --qp 26 --no-psy --tff
vector mbaff_cavlc_422_10bit 176 144 i422 10 2 cavlc 1 302 "MBAFF CAVLC 4:2:2 10-bit, qp 26" -- \
  "${cavlc[@]}" --qp 38 --no-psy --tff
vector mbaff_cabac_420_10bit 176 144 i420 10 2 cabac 1 303 "MBAFF CABAC 4:2:0 10-bit, qp 26" -- \
  "${cabac[@]}" --qp 38 --no-psy --tff
vector mbaff_cabac_422_8bit 176 144 i422 8 2 cabac 1 304 "MBAFF CABAC 4:2:2 8-bit, qp 26" -- \
  "${cabac[@]}" --qp 26 --no-psy --tff
vector mbaff_cabac_lowqp_420_8bit 176 144 i420 8 2 cabac 1 305 \
  "MBAFF CABAC qp 4, I_PCM pairs on noise" -- \
  "${cabac[@]}" --qp 4 --psy-rd 0:0 --subme 7 --tff
vector mbaff_cavlc_lowqp_422_10bit 176 144 i422 10 2 cavlc 1 306 \
  "MBAFF CAVLC qp -8, I_PCM pairs on noise" -- \
  "${cavlc[@]}" --qp 4 --psy-rd 0:0 --subme 7 --tff
vector mbaff_cabac_slices10_422_10bit 176 640 i422 10 2 cabac 10 307 "MBAFF CABAC, 10 slices" -- \
  "${cabac[@]}" --qp 38 --no-psy --tff --slices 10
vector mbaff_cavlc_slices10_420_8bit 176 640 i420 8 2 cavlc 10 308 "MBAFF CAVLC, 10 slices" -- \
  "${cavlc[@]}" --qp 26 --no-psy --tff --slices 10
vector mbaff_avci100_1080i_422_10bit 1920 1080 i422 10 1 cavlc 10 309 \
  "AVC-Intra class 100 1080i (MBAFF), coded height 1088" -- \
  --avcintra-class 100 --fps 25 --tff
vector mbaff_avci50_1080i_420_10bit 1440 1080 i420 10 1 cabac 10 310 \
  "AVC-Intra class 50 1080i (MBAFF), coded height 1088" -- \
  --avcintra-class 50 --fps 25 --tff

echo "samples:"
mkdir -p "$samples"
encode "$samples/class100_720p_422_10bit.264" 1280 720 i422 10 2 cavlc 10 201 \
  --no-deblock --avcintra-class 100 --fps 50

# Loop-filter vectors (loop_filter.txt): x264's loop filter on, so the expected pictures are
# deblocked. Offsets are --deblock alpha:beta in x264's units (FilterOffsetA and B are twice
# them); "qp" in the notes is the coded luma QP.
lf_manifest=$here/loop_filter.txt
: >"$lf_manifest"
lf_vector() { # name width height csp depth frames entropy slices seed note -- encoder options...
  add_case "$lf_manifest" "$@"
}

echo "loop-filter vectors:"
# Chroma formats, bit depths and both entropy coders at a medium QP, offsets 0:0.
lf_vector lf_cavlc_420_8bit 352 288 i420 8 1 cavlc 1 601 "4:2:0 8-bit, qp 28" -- \
  "${cavlc[@]}" --qp 28 --no-psy
lf_vector lf_cavlc_420_10bit 176 144 i420 10 2 cavlc 1 602 "4:2:0 10-bit, qp 28" -- \
  "${cavlc[@]}" --qp 40 --no-psy
lf_vector lf_cavlc_422_8bit 176 144 i422 8 2 cavlc 1 603 "4:2:2 8-bit, qp 28" -- \
  "${cavlc[@]}" --qp 28 --no-psy
lf_vector lf_cavlc_422_10bit 352 288 i422 10 1 cavlc 1 604 "4:2:2 10-bit, qp 28" -- \
  "${cavlc[@]}" --qp 40 --no-psy
lf_vector lf_cavlc_444_8bit 176 144 i444 8 2 cavlc 1 605 "4:4:4 8-bit, qp 28" -- \
  "${cavlc[@]}" --qp 28 --no-psy
lf_vector lf_cavlc_444_10bit 176 144 i444 10 1 cavlc 1 606 "4:4:4 10-bit, qp 28" -- \
  "${cavlc[@]}" --qp 40 --no-psy
lf_vector lf_cabac_420_8bit 176 144 i420 8 2 cabac 1 611 "CABAC 4:2:0 8-bit, qp 28" -- \
  "${cabac[@]}" --qp 28 --no-psy
lf_vector lf_cabac_420_10bit 352 288 i420 10 1 cabac 1 612 "CABAC 4:2:0 10-bit, qp 28" -- \
  "${cabac[@]}" --qp 40 --no-psy
lf_vector lf_cabac_422_8bit 352 288 i422 8 1 cabac 1 613 "CABAC 4:2:2 8-bit, qp 28" -- \
  "${cabac[@]}" --qp 28 --no-psy
lf_vector lf_cabac_422_10bit 176 144 i422 10 2 cabac 1 614 "CABAC 4:2:2 10-bit, qp 28" -- \
  "${cabac[@]}" --qp 40 --no-psy
lf_vector lf_cabac_444_8bit 176 144 i444 8 1 cabac 1 615 "CABAC 4:4:4 8-bit, qp 28" -- \
  "${cabac[@]}" --qp 28 --no-psy
lf_vector lf_cabac_444_10bit 176 144 i444 10 2 cabac 1 616 "CABAC 4:4:4 10-bit, qp 28" -- \
  "${cabac[@]}" --qp 40 --no-psy

# Filter offsets of both signs and the extremes.
lf_vector lf_offsets_m3p2_420_8bit 176 144 i420 8 2 cavlc 1 621 \
  "--deblock -3:2 (FilterOffsetA -6, FilterOffsetB 4), qp 32" -- \
  "${cavlc[@]}" --qp 32 --no-psy --deblock -3:2
lf_vector lf_offsets_p2m4_422_10bit 176 144 i422 10 2 cabac 1 622 \
  "CABAC --deblock 2:-4 (FilterOffsetA 4, FilterOffsetB -8), qp 32" -- \
  "${cabac[@]}" --qp 44 --no-psy --deblock 2:-4
lf_vector lf_offsets_min_420_10bit 176 144 i420 10 2 cabac 1 623 \
  "CABAC --deblock -6:-6 (offsets -12), qp 38" -- \
  "${cabac[@]}" --qp 50 --no-psy --deblock -6:-6
lf_vector lf_offsets_max_422_8bit 176 144 i422 8 2 cavlc 1 624 \
  "--deblock 6:6 (offsets 12), qp 20" -- \
  "${cavlc[@]}" --qp 20 --no-psy --deblock 6:6
lf_vector lf_offsets_max_444_10bit 176 144 i444 10 1 cabac 1 625 \
  "CABAC 4:4:4 --deblock 6:6, qp 36" -- \
  "${cabac[@]}" --qp 48 --no-psy --deblock 6:6

# Chroma QP offsets: the chroma edges filter at the chroma QP of each side.
lf_vector lf_chroma_qp_p6_420_8bit 176 144 i420 8 2 cavlc 1 631 \
  "chroma_qp_index_offset 6, qp 34" -- \
  "${cavlc[@]}" --qp 34 --no-psy --chroma-qp-offset 6
lf_vector lf_chroma_qp_m6_422_10bit 176 144 i422 10 2 cabac 1 632 \
  "CABAC chroma_qp_index_offset -6, qp 34" -- \
  "${cabac[@]}" --qp 46 --no-psy --chroma-qp-offset -6
lf_vector lf_chroma_qp_p12_highqp_420_10bit 176 144 i420 10 1 cavlc 1 633 \
  "chroma_qp_index_offset 12 at qp 44: chroma QP at its table's end" -- \
  "${cavlc[@]}" --qp 56 --no-psy --chroma-qp-offset 12
lf_vector lf_chroma_qp_m12_422_10bit 176 144 i422 10 1 cabac 1 634 \
  "CABAC chroma_qp_index_offset -12 at qp 20 (chroma QP 8), --deblock 6:6" -- \
  "${cabac[@]}" --qp 32 --no-psy --chroma-qp-offset -12 --deblock 6:6
lf_vector lf_chroma_qp_p4_444_8bit 176 144 i444 8 1 cabac 1 635 \
  "CABAC 4:4:4 chroma_qp_index_offset 4, qp 30" -- \
  "${cabac[@]}" --qp 30 --no-psy --chroma-qp-offset 4

# Slices: edges on slice boundaries are filtered too (disable_deblocking_filter_idc 0).
lf_vector lf_slices4_420_8bit 352 288 i420 8 1 cavlc 4 641 "4 slices, qp 30" -- \
  "${cavlc[@]}" --qp 30 --no-psy --slices 4
lf_vector lf_slices10_422_10bit 352 288 i422 10 1 cabac 10 642 "CABAC, 10 slices, qp 30" -- \
  "${cabac[@]}" --qp 42 --no-psy --slices 10
lf_vector lf_slices16_420_8bit 176 288 i420 8 1 cabac 16 643 "CABAC, 16 slices, qp 30" -- \
  "${cabac[@]}" --qp 30 --no-psy --slices 16
lf_vector lf_slices16_422_10bit 352 288 i422 10 1 cavlc 16 644 "16 slices, qp 30" -- \
  "${cavlc[@]}" --qp 42 --no-psy --slices 16

# Transform size: without the 8x8 transform every 4x4 luma edge is filtered.
lf_vector lf_no8x8dct_422_10bit 176 144 i422 10 2 cavlc 1 651 "--no-8x8dct, qp 32" -- \
  "${cavlc[@]}" --qp 44 --no-psy --no-8x8dct
lf_vector lf_no8x8dct_444_8bit 176 144 i444 8 1 cabac 1 652 "CABAC 4:4:4 --no-8x8dct, qp 32" -- \
  "${cabac[@]}" --qp 32 --no-psy --no-8x8dct

# Quantisers: strong filtering at high QP, little or none at low QP.
lf_vector lf_highqp_420_8bit 176 144 i420 8 2 cavlc 1 661 "qp 51" -- \
  "${cavlc[@]}" --qp 51 --no-psy
lf_vector lf_highqp_422_10bit 176 144 i422 10 2 cabac 1 662 "CABAC qp 51 (encoder --qp 63)" -- \
  "${cabac[@]}" --qp 63 --no-psy
lf_vector lf_qp40_420_10bit 352 288 i420 10 1 cabac 1 663 "CABAC qp 40" -- \
  "${cabac[@]}" --qp 52 --no-psy
lf_vector lf_qp45_444_10bit 176 144 i444 10 1 cavlc 1 664 "4:4:4 qp 45" -- \
  "${cavlc[@]}" --qp 57 --no-psy
lf_vector lf_lowqp_420_8bit 176 144 i420 8 2 cavlc 1 665 "qp 18" -- \
  "${cavlc[@]}" --qp 18 --no-psy
lf_vector lf_lowqp_422_10bit 176 144 i422 10 1 cabac 1 666 "CABAC qp 16" -- \
  "${cabac[@]}" --qp 28 --no-psy

# QP varying from macroblock to macroblock (adaptive quantisation under --crf): edges between
# different QPs filter at their average.
lf_vector lf_crf_420_8bit 352 288 i420 8 1 cavlc 1 671 "--crf 26: QP 11..34 per macroblock" -- \
  "${cavlc[@]}" --crf 26 --no-psy
lf_vector lf_crf_422_10bit 176 144 i422 10 2 cabac 1 672 "CABAC --crf 30: QP 11..46 per macroblock" -- \
  "${cabac[@]}" --crf 30 --no-psy

# Lossless and I_PCM: both filter with qP 0.
lf_vector lf_lossless_420_8bit 176 144 i420 8 1 cavlc 1 681 \
  "qp 0 lossless, transform bypass, I_PCM, --deblock 6:6" -- \
  "${cavlc[@]}" --qp 0 --no-psy --deblock 6:6
lf_vector lf_lossless_422_10bit 176 144 i422 10 1 cabac 1 682 \
  "CABAC qp 0 lossless, transform bypass, I_PCM" -- \
  "${cabac[@]}" --qp 0 --no-psy
lf_vector lf_pcm_422_10bit 176 144 i422 10 2 cabac 1 683 \
  "CABAC qp 8, I_PCM on noise beside coded macroblocks, --deblock 6:6" -- \
  "${cabac[@]}" --qp 20 --no-psy --deblock 6:6
lf_vector lf_pcm_420_10bit 176 144 i420 10 1 cavlc 1 684 \
  "qp 12, I_PCM on noise beside coded macroblocks, --deblock 6:6" -- \
  "${cavlc[@]}" --qp 24 --no-psy --deblock 6:6

# Parameter sets with ids other than 0.
lf_vector lf_sps_id3_420_8bit 176 144 i420 8 2 cabac 1 691 "CABAC, SPS and PPS id 3, qp 28" -- \
  "${cabac[@]}" --qp 28 --no-psy --sps-id 3

# Cropping: the filter works on the coded picture.
lf_vector lf_crop_200x120_420_8bit 200 120 i420 8 2 cabac 1 692 \
  "CABAC 200x120, columns and rows cropped, qp 30" -- \
  "${cabac[@]}" --qp 30 --no-psy

# Frame pictures with frame_mbs_only_flag 0, and MBAFF: field and frame macroblock pairs meet,
# vertical edges between them and horizontal edges in field pairs filter differently.
lf_vector lf_fake_interlaced_420_10bit 352 240 i420 10 1 cavlc 1 701 \
  "--fake-interlaced: frame_mbs_only_flag 0 without MBAFF, qp 30" -- \
  "${cavlc[@]}" --qp 42 --no-psy --fake-interlaced
lf_vector lf_fake_interlaced_422_8bit 176 144 i422 8 2 cabac 1 702 \
  "CABAC --fake-interlaced, qp 30" -- \
  "${cabac[@]}" --qp 30 --no-psy --fake-interlaced
lf_vector lf_mbaff_420_8bit 176 144 i420 8 2 cavlc 1 711 "MBAFF 4:2:0 8-bit, qp 30" -- \
  "${cavlc[@]}" --qp 30 --no-psy --tff
lf_vector lf_mbaff_422_10bit 176 144 i422 10 2 cavlc 1 712 "MBAFF 4:2:2 10-bit, qp 30" -- \
  "${cavlc[@]}" --qp 42 --no-psy --tff
lf_vector lf_mbaff_cabac_420_10bit 176 144 i420 10 2 cabac 1 713 \
  "MBAFF CABAC 4:2:0 10-bit, qp 30" -- \
  "${cabac[@]}" --qp 42 --no-psy --tff
lf_vector lf_mbaff_cabac_422_8bit 176 144 i422 8 2 cabac 1 714 \
  "MBAFF CABAC 4:2:2 8-bit, qp 30" -- \
  "${cabac[@]}" --qp 30 --no-psy --tff
lf_vector lf_mbaff_444_8bit 176 144 i444 8 1 cabac 1 716 "MBAFF CABAC 4:4:4 8-bit, qp 30" -- \
  "${cabac[@]}" --qp 30 --no-psy --tff
lf_vector lf_mbaff_highqp_420_8bit 176 144 i420 8 2 cabac 1 723 \
  "MBAFF CABAC qp 44, --deblock 2:2" -- \
  "${cabac[@]}" --qp 44 --no-psy --tff --deblock 2:2
lf_vector lf_mbaff_offsets_422_10bit 176 144 i422 10 1 cavlc 1 717 \
  "MBAFF --deblock -2:3 with chroma_qp_index_offset -3, qp 34" -- \
  "${cavlc[@]}" --qp 46 --no-psy --tff --deblock -2:3 --chroma-qp-offset -3
lf_vector lf_mbaff_crf_420_8bit 176 144 i420 8 2 cabac 1 718 \
  "MBAFF CABAC --crf 28: QP 13..45 per macroblock" -- \
  "${cabac[@]}" --crf 28 --no-psy --tff
lf_vector lf_mbaff_pcm_420_8bit 176 144 i420 8 1 cabac 1 719 \
  "MBAFF CABAC qp 4, I_PCM pairs, --deblock 6:6" -- \
  "${cabac[@]}" --qp 4 --psy-rd 0:0 --subme 7 --tff --deblock 6:6
lf_vector lf_mbaff_slices10_422_10bit 176 640 i422 10 1 cabac 10 720 \
  "MBAFF CABAC, 10 slices, qp 30" -- \
  "${cabac[@]}" --qp 42 --no-psy --tff --slices 10
lf_vector lf_mbaff_slices10_420_8bit 176 640 i420 8 1 cavlc 10 721 "MBAFF, 10 slices, qp 30" -- \
  "${cavlc[@]}" --qp 30 --no-psy --tff --slices 10

# Large pictures. (x264's AVC-Intra modes code without the loop filter, so these set the format
# up themselves.)
lf_vector lf_2160p_422_10bit 3840 2160 i422 10 1 cabac 8 731 \
  "CABAC 3840x2160, 8 slices, --crf 34: QP 15..43 per macroblock" -- \
  "${cabac[@]}" --crf 34 --no-psy --slices 8
lf_vector lf_1080i_422_10bit 1920 1080 i422 10 1 cavlc 10 733 \
  "1080i MBAFF in the style of AVC-Intra 100, 10 slices, --crf 34: QP 15..42 per macroblock" -- \
  "${cavlc[@]}" --crf 34 --no-psy --tff --slices 10

total=$(cat "$here"/*.264 | wc -c)
echo "vectors: $(wc -l <"$manifest") cases, $(wc -l <"$lf_manifest") loop-filter cases," \
  "$total bytes of streams"
