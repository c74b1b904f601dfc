#!/usr/bin/env bash
# Builds the codec benchmarks (preset "bench"), runs them, measures whole
# `ravelin decode` runs against the process floor with hyperfine, and prints a
# summary of every target.
#   scripts/bench.sh                 everything (about two minutes)
#   scripts/bench.sh <benchmark flags>   passed on, e.g. --benchmark_filter=device_config
# Results are kept in build/bench/results/.
set -euo pipefail
cd "$(dirname "$0")/.."

min_time=0.5
results=build/bench/results
ravelin=build/bench/cli/ravelin
floor_limit=1.5

scripts/install-deps.sh bench
cmake --preset bench >/dev/null
cmake --build --preset bench
mkdir -p "$results"

build/bench/bench/ravelin_bench --benchmark_min_time="$min_time" "$@" | tee "$results/codecs.txt"

# The example blob: the calibration when its example is present, else the device config.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
example=examples/calibration.json
[ -f "$example" ] || example=examples/device_config.json
load=$(cut -d' ' -f1-3 /proc/loadavg)
"$ravelin" encode --json "$example" --bin "$work/example.bin" --quiet

# The help text exits with the usage code 2, so hyperfine must ignore exit
# codes; each decode is checked once by hand instead. -N runs the commands
# without a shell, so the floor is ravelin's own start and exit. The plain
# decode writes a new file, as without --force it must: its old output is
# removed before every run. The --force row overwrites one, which on ext4
# makes the rename start writing the new file back.
fresh=("$ravelin" decode --bin "$work/example.bin" --json "$work/fresh.json")
overwrite=("$ravelin" decode --bin "$work/example.bin" --json "$work/kept.json" --force)
"${fresh[@]}" >/dev/null && rm "$work/fresh.json"
"${overwrite[@]}" >/dev/null
hyperfine -N -i --style basic --warmup 20 --min-runs 300 \
  --export-json "$results/process.json" \
  --prepare true --prepare "rm -f $work/fresh.json" --prepare true \
  "$ravelin --help" "${fresh[*]}" "${overwrite[*]}" |
  tee "$results/process.txt"

figure() { jq -r ".results[$1].$2" "$results/process.json"; }
floor_s=$(figure 0 median)
decode_s=$(figure 1 median)

# Wall time decides the target; minimum and CPU time show how much of it was
# waiting on a busy machine.
process_row() {
  awk -v name="$1" -v median="$(figure "$2" median)" -v min="$(figure "$2" min)" \
    -v cpu="$(jq -r ".results[$2] | .user + .system" "$results/process.json")" -v floor="$floor_s" \
    'BEGIN { printf "| %s | %.2f ms | %.2f | %.2f ms | %.2f ms |\n", name, median * 1000, median / floor, min * 1000, cpu * 1000 }'
}

{
  echo
  echo "## Machine"
  echo
  echo "$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB memory; load average $load before the process figure"
  echo
  echo "## Process figure (hyperfine, at least 300 runs each)"
  echo
  echo "| command | median | / floor | min | user + system |"
  echo "|---|---:|---:|---:|---:|"
  process_row "ravelin --help (process floor)" 0
  process_row "ravelin decode, $example's blob to a new file" 1
  process_row "ravelin decode --force over the previous output" 2
  echo
  echo "## Targets"
  echo
  sed -n '/^## Targets/,$p' "$results/codecs.txt" | tail -n +3
  awk -v f="$floor_s" -v d="$decode_s" -v limit="$floor_limit" 'BEGIN {
    r = d / f
    printf "%-52s %9.3f <= %-6g %s\n", "ravelin decode to a new file / process floor", r, limit, (r <= limit ? "holds" : "MISSED")
  }'
} | tee "$results/summary.txt"
