#!/usr/bin/env bash
# Times `istrel bench` on every stream of bench/streams/: RUNS rounds each of a full-size run
# with two workers, a preview run (progressive streams) and a full-size run with one worker,
# taking medians; then one --profile run each. Beside every run the core's clock is read
# (istrel-clock-rate, a chain of dependent additions), so that each figure is also given in
# core cycles per frame: wall time per frame x workers x clock. With --loop-filter DIR it also
# times the conformant mode with and without the deblocking filter on the filter-on streams in
# DIR (bench/make_set.sh --loop-filter DIR makes them). Writes Markdown tables to standard
# output and bench/results.md.
#
# usage: bench/run.sh [--build DIR] [--seconds S] [--runs N] [--loop-filter DIR]
#   --build DIR        a build with tools/istrel and bench/istrel-clock-rate in it, used as it
#                      is; without it the Release build in build-bench/ is configured and
#                      brought up to date
#   --seconds S        seconds per run and per profile pass (default 5)
#   --runs N           runs per stream and size (default 5)
#   --loop-filter DIR  also the deblocking filter's cost on the streams in DIR
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="" seconds=5 runs=5 threads=2 filtered=""

die() {
  echo "run.sh: $*" >&2
  exit 1
}

while (($#)); do
  case $1 in
    --build) build=${2:?}; shift 2 ;;
    --seconds) seconds=${2:?}; shift 2 ;;
    --runs) runs=${2:?}; shift 2 ;;
    --loop-filter) filtered=${2:?}; shift 2 ;;
    *) die "unknown option '$1' (see the usage at the top of the script)" ;;
  esac
done

streams=("$root"/bench/streams/*.264)
if [[ -z $build ]]; then
  build=$root/build-bench
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  targets=(istrel_cli istrel_clock_rate)
  [[ -e ${streams[0]} ]] || targets+=(istrel_synth istrel_encode)
  cmake --build "$build" --target "${targets[@]}" >/dev/null
fi
istrel=$build/tools/istrel
clock=$build/bench/istrel-clock-rate
[[ -x $istrel ]] || die "no istrel in '$build/tools'"
[[ -x $clock ]] || die "no istrel-clock-rate in '$build/bench'"
if [[ ! -e ${streams[0]} ]]; then
  echo "run.sh: making the benchmark set first (bench/make_set.sh)" >&2
  "$root/bench/make_set.sh" "$build" >&2 || die "bench/make_set.sh failed"
  streams=("$root"/bench/streams/*.264)
fi
if [[ -n $filtered ]]; then
  filtered_streams=("$filtered"/*.264)
  [[ -e ${filtered_streams[0]} ]] || die "no streams in '$filtered'"
fi

median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

med() { printf '%s\n' "$@" | median; }

# The value after `key` in `istrel bench` output.
field() { # key [word]
  awk -v key="$1" -v word="${2:-2}" '$1 == key { gsub(",", "", $word); print $word }'
}

# One run, and the clock read just before it: "GHz" on the first line, the run after.
bench_once() { # workers stream [options...]
  local workers=$1 stream=$2
  shift 2
  "$clock" | awk '{ print $1 }'
  "$istrel" bench "$stream" --threads "$workers" --seconds "$seconds" "$@" ||
    die "istrel bench failed on $stream"
}

# Millions of core cycles per frame from a run's output (clock on its first line).
cycles() { # workers output
  local ghz fps
  ghz=$(head -n 1 <<<"$2")
  fps=$(field fps: <<<"$2")
  awk -v w="$1" -v g="$ghz" -v f="$fps" 'BEGIN { printf "%.1f", w * g * 1000 / f }'
}

info() { # stream key
  "$istrel" info "$1" | awk -F': *' -v key="$2" '$1 == key { print $2 }'
}

# RUNS rounds on one stream, each a full-size run with two workers, a preview
# run (progressive streams) and a full-size run with one worker, so that
# the runs compared were made close together; the medians over the rounds,
# the scaling as the median of each round's ratio, and the memory of the last round.
speed_row() { # stream
  local name coder size structure out memory i
  local fps=() mbits=() mega=() preview=() one=() megaOne=() ratio=() ghz=()
  name=$(basename "$1" .264)
  coder=$(info "$1" "entropy coding")
  size=$(info "$1" "cropped size")
  structure=$(info "$1" "structure")
  [[ $structure == progressive* ]] || coder+=" MBAFF"
  for ((i = 0; i < runs; i++)); do
    out=$(bench_once "$threads" "$1")
    fps+=("$(field fps: <<<"$out")")
    mbits+=("$(field Mbit/s: <<<"$out")")
    mega+=("$(cycles "$threads" "$out")")
    ghz+=("$(head -n 1 <<<"$out")")
    memory="$(field memory: 8 <<<"$out") ($(field memory: 16 <<<"$out"))"
    [[ $structure == progressive* ]] && preview+=("$(bench_once "$threads" "$1" --preview | field fps:)")
    out=$(bench_once 1 "$1")
    one+=("$(field fps: <<<"$out")")
    megaOne+=("$(cycles 1 "$out")")
    ratio+=("$(awk -v a="${fps[i]}" -v b="${one[i]}" 'BEGIN { print a / b }')")
  done
  printf '| %s | %s | %s | %.1f | %.2f | %.1f | %s | %.2f | %.1f | %.2f | %.2f | %s |\n' "$name" \
    "$coder" "$size" "$(med "${mbits[@]}")" "$(med "${fps[@]}")" "$(med "${mega[@]}")" \
    "$( ((${#preview[@]})) && printf '%.2f' "$(med "${preview[@]}")" || echo -)" \
    "$(med "${one[@]}")" "$(med "${megaOne[@]}")" "$(med "${ratio[@]}")" "$(med "${ghz[@]}")" \
    "$memory"
}

# "ms (share)" of one profile line.
stage() { # output name
  awk -v name="$2" 'index($0, "  " name " ") == 1 { printf "%.2f (%s)", $(NF - 1), $NF }' <<<"$1"
}

profile_row() { # stream
  local out
  out=$("$istrel" bench "$1" --threads "$threads" --seconds "$seconds" --profile) ||
    die "istrel bench --profile failed on $1"
  printf '| %s | %s | %s | %s | %s | %s |\n' "$(basename "$1" .264)" \
    "$(stage "$out" "frame scan")" "$(stage "$out" "entropy decoding")" \
    "$(stage "$out" "prediction and reconstruction")" "$(stage "$out" "v210 conversion")" \
    "$(stage "$out" "total" | cut -d' ' -f1)"
}

# The conformant mode with and without the deblocking filter, in alternating
# rounds with two workers and with one: median ms per frame and the cost as
# the median of the rounds' ratios.
filter_row() { # stream
  local workers i with without cost row=""
  for workers in "$threads" 1; do
    with=() without=() cost=()
    for ((i = 0; i < runs; i++)); do
      with+=("$(bench_once "$workers" "$1" --conformant | field ms/frame: 3)")
      without+=("$(bench_once "$workers" "$1" --conformant --no-deblock | field ms/frame: 3)")
      cost+=("$(awk -v a="${with[i]}" -v b="${without[i]}" 'BEGIN { print 100 * (a / b - 1) }')")
    done
    row+=$(printf ' %.2f | %.2f | %+.0f%% |' "$(med "${with[@]}")" "$(med "${without[@]}")" \
      "$(med "${cost[@]}")")
  done
  printf '| %s |%s\n' "$(basename "$1" .264)" "$row"
}

report() {
  local cpu
  cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
  echo "Machine: $cpu, $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC'); load average" \
    "$(cut -d' ' -f1-3 /proc/loadavg) at the start; istrel bench, $runs runs of ${seconds} s," \
    "medians; M cycles: millions of core cycles per frame (wall time per frame x workers x" \
    "the clock read beside each run)"
  echo
  echo "| stream | coder | size | Mbit/s | fps, $threads workers | M cycles, $threads workers" \
    "| fps preview | fps, 1 worker | M cycles, 1 worker | $threads workers / 1 | clock GHz" \
    "| memory added, MiB (beyond picture and host buffers) |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|"
  for s in "${streams[@]}"; do speed_row "$s"; done
  echo
  echo "Where the time goes ($threads workers, full size, ms per frame and share; each stage" \
    "timed in its own pass):"
  echo
  echo "| stream | frame scan | entropy decoding | prediction and reconstruction | v210 conversion | total ms |"
  echo "|---|---|---|---|---|---|"
  for s in "${streams[@]}"; do profile_row "$s"; done
  if [[ -n $filtered ]]; then
    echo
    echo "The deblocking filter of the conformant mode (streams coded with it on, ms per frame):"
    echo
    echo "| stream | with, $threads workers | without | cost | with, 1 worker | without | cost |"
    echo "|---|---|---|---|---|---|---|"
    for s in "${filtered_streams[@]}"; do filter_row "$s"; done
  fi
}

report | tee "$root/bench/results.md"
