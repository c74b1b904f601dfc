#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each for a bounded
# time, starting from its committed corpus. Any finding (crash, sanitizer
# report, broken invariant, timeout, out-of-memory) fails the run; the input
# that caused it is kept under build/fuzz/findings/<target>/.
#
#   scripts/fuzz.sh SECONDS [TARGET...]     every target when none is named
#   FUZZ_JOBS=2 scripts/fuzz.sh 1200        two fuzzers at a time
#
# New inputs go to build/fuzz/work/<target>/, never into the committed
# corpus; merge the interesting ones by hand (libFuzzer's -merge=1).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}"
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(blob_dispatch calibration_decoder device_config_decoder
           calibration_encoder device_config_encoder verification check inspect diff)
fi
jobs="${FUZZ_JOBS:-1}"

scripts/install-deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
mkdir -p "$out/logs"

# Limits: an input that runs 10 s is a hang; one allocation above 64 MiB, or
# 2 GiB in all, is an unbounded allocation for inputs this small.
run_target() {
  local target=$1
  local work="$out/work/$target" findings="$out/findings/$target"
  mkdir -p "$work" "$findings"
  "$out/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" \
    -dict="fuzz/dict/$target.dict" -max_total_time="$seconds" -max_len=16384 \
    -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=64 -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$out/logs/$target.log" 2>&1
}

summarise() {
  local target=$1 status=$2
  local log="$out/logs/$target.log" last runs
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
  runs=$(grep -oE 'number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$' || true)
  if [ "$status" -eq 0 ]; then
    printf '%-24s ok  %12s runs  %s\n' "$target" "$runs" "$last"
  else
    printf '%-24s FINDING (exit %s), log %s\n' "$target" "$status" "$log"
    tail -n 40 "$log"
  fi
}

failed=0
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
  batch=("${pending[@]:0:$jobs}")
  pending=("${pending[@]:$jobs}")
  pids=()
  for target in "${batch[@]}"; do
    run_target "$target" &
    pids+=($!)
  done
  for i in "${!batch[@]}"; do
    status=0
    wait "${pids[$i]}" || status=$?
    summarise "${batch[$i]}" "$status"
    [ "$status" -eq 0 ] || failed=1
  done
done

if [ "$failed" -ne 0 ]; then
  echo "fuzz: findings above; reproduce with build/fuzz/fuzz/fuzz_<target> <input>" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets, ${seconds} s each, no finding"
