#!/usr/bin/env bash
# Times `istrel bench` on every stream of bench/streams/: RUNS rounds each of a full-size run
# with two workers, a preview run (progressive streams) and a full-size run with one worker,
# for the scaling, taking medians; then one --profile run each. Writes two Markdown tables to
# standard output and bench/results.md.
#
# usage: bench/run.sh [--build DIR] [--seconds S] [--runs N]
#   --build DIR  a build with tools/istrel in it, used as it is; without it the Release
#                build in build-bench/ is configured and brought up to date
#   --seconds S  seconds per run and per profile pass (default 5)
#   --runs N     runs per stream and size (default 5)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="" seconds=5 runs=5 threads=2

die() {
  echo "run.sh: $*" >&2
  exit 1
}

while (($#)); do
  case $1 in
    --build) build=${2:?}; shift 2 ;;
    --seconds) seconds=${2:?}; shift 2 ;;
    --runs) runs=${2:?}; shift 2 ;;
    *) die "unknown option '$1' (see the usage at the top of the script)" ;;
  esac
done

if [[ -z $build ]]; then
  build=$root/build-bench
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target istrel_cli >/dev/null
fi
istrel=$build/tools/istrel
[[ -x $istrel ]] || die "no istrel in '$build/tools'"
streams=("$root"/bench/streams/*.264)
[[ -e ${streams[0]} ]] || die "no streams in bench/streams (bench/make_set.sh makes them)"

median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The value after `key` in `istrel bench` output.
field() { # key [word]
  awk -v key="$1" -v word="${2:-2}" '$1 == key { gsub(",", "", $word); print $word }'
}

bench_once() { # workers stream [--preview]
  "$istrel" bench "$2" --threads "$1" --seconds "$seconds" ${3:+"$3"} ||
    die "istrel bench failed on $2"
}

med() { printf '%s\n' "$@" | median; }

info() { # stream key
  "$istrel" info "$1" | awk -F': *' -v key="$2" '$1 == key { print $2 }'
}

# RUNS rounds on one stream, each a full-size run with two workers, a preview
# run (progressive streams) and a full-size run with one worker, so that
# the runs compared were made close together; the medians over the rounds,
# the scaling as the median of each round's ratio, and the memory of the last round.
speed_row() { # stream
  local name coder size structure out memory i
  local fps=() mbits=() ms=() preview=() one=() ratio=()
  name=$(basename "$1" .264)
  coder=$(info "$1" "entropy coding")
  size=$(info "$1" "cropped size")
  structure=$(info "$1" "structure")
  [[ $structure == progressive* ]] || coder+=" MBAFF"
  for ((i = 0; i < runs; i++)); do
    out=$(bench_once "$threads" "$1")
    fps+=("$(field fps: <<<"$out")")
    mbits+=("$(field Mbit/s: <<<"$out")")
    ms+=("$(field ms/frame: 3 <<<"$out")")
    memory="$(field memory: 8 <<<"$out") ($(field memory: 16 <<<"$out"))"
    [[ $structure == progressive* ]] && preview+=("$(bench_once "$threads" "$1" --preview | field fps:)")
    one+=("$(bench_once 1 "$1" | field fps:)")
    ratio+=("$(awk -v a="${fps[i]}" -v b="${one[i]}" 'BEGIN { print a / b }')")
  done
  printf '| %s | %s | %s | %.1f | %.2f | %s | %.2f | %.2f | %.2f | %s |\n' "$name" "$coder" \
    "$size" "$(med "${mbits[@]}")" "$(med "${fps[@]}")" \
    "$( ((${#preview[@]})) && printf '%.2f' "$(med "${preview[@]}")" || echo -)" \
    "$(med "${ms[@]}")" "$(med "${one[@]}")" "$(med "${ratio[@]}")" "$memory"
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

report() {
  local cpu
  cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
  echo "Machine: $cpu, $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC'); load average" \
    "$(cut -d' ' -f1-3 /proc/loadavg) at the start; istrel bench --threads $threads, $runs runs" \
    "of ${seconds} s, medians"
  echo
  echo "| stream | coder | size | Mbit/s | fps full | fps preview | median ms/frame" \
    "| fps full, 1 worker | 2 workers / 1 | memory added, MiB (beyond picture and host buffers) |"
  echo "|---|---|---|---|---|---|---|---|---|---|"
  for s in "${streams[@]}"; do speed_row "$s"; done
  echo
  echo "Where the time goes (full size, ms per frame and share; each stage timed in its own pass):"
  echo
  echo "| stream | frame scan | entropy decoding | prediction and reconstruction | v210 conversion | total ms |"
  echo "|---|---|---|---|---|---|"
  for s in "${streams[@]}"; do profile_row "$s"; done
}

report | tee "$root/bench/results.md"
