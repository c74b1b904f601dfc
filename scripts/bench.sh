#!/usr/bin/env bash
# Builds the codec benchmarks (preset "bench"), runs them, measures whole
# `ravelin decode` runs against the process floor with hyperfine, times
# ravelin beside flatc and protoc on the same documents, times the Python
# module's decode beside json.loads and cbor2.loads, and prints a summary of
# every target.
#   scripts/bench.sh                 everything (about six minutes on a quiet machine)
#   scripts/bench.sh <benchmark flags>   passed on, e.g. --benchmark_filter=device_config
#   BENCH_STAGES=peers scripts/bench.sh  only some of the stages: codecs, process, peers, python
# Results are kept in build/bench/results/.
set -euo pipefail
cd "$(dirname "$0")/.."

min_time=0.5
results=build/bench/results
ravelin=build/bench/cli/ravelin
floor_limit=1.5
stages=${BENCH_STAGES:-codecs process peers python}

scripts/install-deps.sh bench
cmake --preset bench >/dev/null
cmake --build --preset bench
mkdir -p "$results"

stage() { [[ " $stages " == *" $1 "* ]]; }

if stage codecs; then
  build/bench/bench/ravelin_bench --benchmark_min_time="$min_time" "$@" | tee "$results/codecs.txt"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
load=$(cut -d' ' -f1-3 /proc/loadavg)
machine="$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB memory"

# Wall time decides the targets; minimum and CPU time show how much of it was
# waiting on a busy machine. figure <json> <row> <field>
figure() { jq -r ".results[$2].$3" "$1"; }
# Mean user + system time of a row, in seconds.
cpu_figure() { jq -r ".results[$2] | .user + .system" "$1"; }

# Minor page faults of a command (GNU time), the median of five runs, each
# after its prepare step: they vary by a few faults from run to run.
#   minor_faults <prepare> <command...>
minor_faults() {
  local prepare=$1 counts=()
  shift
  for _ in 1 2 3 4 5; do
    bash -c "$prepare"
    counts+=("$(/usr/bin/time -f %R "$@" 2>&1 >/dev/null | tail -1)")
  done
  printf '%s\n' "${counts[@]}" | sort -n | sed -n 3p
}

# Wall time a command spends in fsync, in seconds, the median of nine runs
# (strace -w times each call from its start to its end): a busy disk makes
# single flushes take many times their usual time.
#   flush_time <prepare> <command...>
flush_time() {
  local prepare=$1 trace=$work/fsync.trace totals=()
  shift
  for _ in 1 2 3 4 5 6 7 8 9; do
    bash -c "$prepare"
    strace -f -c -w -e trace=fsync -o "$trace" "$@" >/dev/null 2>&1
    totals+=("$(awk '$NF == "fsync" { total += $2 } END { print total + 0 }' "$trace")")
  done
  printf '%s\n' "${totals[@]}" | sort -g | sed -n 5p
}

process_stage() {
  # The example blob: the calibration when its example is present, else the device config.
  example=examples/calibration.json
  [ -f "$example" ] || example=examples/device_config.json
  "$ravelin" encode --json "$example" --bin "$work/example.bin" --quiet

  # The help text exits with the usage code 2, so hyperfine must ignore exit
  # codes; each decode is checked once by hand instead. -N runs the commands
  # without a shell, so the floor is ravelin's own start and exit. The plain
  # decode writes a new file, as without --force it must: its old output is
  # removed before every run. The --force row replaces one. Both flush the
  # file and its directory to disk; the /dev/null row is written in place and
  # flushes nothing, so it shows what the flushes cost.
  local fresh=("$ravelin" decode --bin "$work/example.bin" --json "$work/fresh.json")
  local overwrite=("$ravelin" decode --bin "$work/example.bin" --json "$work/kept.json" --force)
  local unflushed=("$ravelin" decode --bin "$work/example.bin" --json /dev/null --force)
  "${fresh[@]}" >/dev/null && rm "$work/fresh.json"
  "${overwrite[@]}" >/dev/null
  hyperfine -N -i --style basic --warmup 20 --min-runs 300 \
    --export-json "$results/process.json" \
    --prepare true --prepare "rm -f $work/fresh.json" --prepare true --prepare true \
    "$ravelin --help" "${fresh[*]}" "${overwrite[*]}" "${unflushed[*]}" |
    tee "$results/process.txt"

  local json=$results/process.json
  floor_s=$(figure "$json" 0 median)
  decode_s=$(figure "$json" 1 median)
  local faults=(
    "$(minor_faults true "$ravelin" --help)"
    "$(minor_faults "rm -f $work/fresh.json" "${fresh[@]}")"
    "$(minor_faults true "${overwrite[@]}")"
    "$(minor_faults true "${unflushed[@]}")"
  )
  process_row() {
    awk -v name="$1" -v median="$(figure "$json" "$2" median)" -v min="$(figure "$json" "$2" min)" \
      -v cpu="$(cpu_figure "$json" "$2")" -v floor="$floor_s" -v faults="${faults[$2]}" \
      'BEGIN { printf "| %s | %.2f ms | %.2f | %.2f ms | %.2f ms | %d |\n", name, median * 1000, median / floor, min * 1000, cpu * 1000, faults }'
  }
  {
    echo "## Process figure (hyperfine, at least 300 runs each; load average $load before it)"
    echo
    echo "| command | median | / floor | min | user + system | minor faults |"
    echo "|---|---:|---:|---:|---:|---:|"
    process_row "ravelin --help (process floor)" 0
    process_row "ravelin decode, $example's blob to a new file" 1
    process_row "ravelin decode --force over the previous output" 2
    process_row "ravelin decode --json /dev/null (written in place, nothing flushed)" 3
  } >"$results/process.md"
  awk -v f="$floor_s" -v d="$decode_s" -v limit="$floor_limit" 'BEGIN {
    r = d / f
    printf "%-52s %9.3f <= %-6g %s\n", "ravelin decode to a new file / process floor", r, limit, (r <= limit ? "holds" : "MISSED")
  }' >"$results/process-targets.txt"
}

# The peer stage: the same three documents through ravelin, flatc (with
# bench/peers/calibration.fbs) and protoc (with bench/peers/calibration.proto),
# each document in one hyperfine call per place its outputs go, so that every
# row of a table shares its load.
peers=bench/peers
peer_documents=build/bench/bench/ravelin_peer_documents
feed=build/bench/bench/ravelin_feed
protoc_schema=(--proto_path="$peers" calibration.proto)
peer_limit=1.1
help_limit=1.2
stdout_limit=1.5

# Writes the document's three forms and checks what each tool gives back from
# its own blob, number by number. Sets doc, sizes and lost_* for the tables.
peer_prepare_document() {
  local name=$1
  local dir=$work/peers/$name
  local back=$dir/back
  mkdir -p "$back"
  doc=$dir/$name
  "$peer_documents" write "${@:2}" "$doc"
  "$ravelin" encode --json "$doc.json" --bin "$doc.bin" --quiet
  flatc -b -o "$dir" "$peers/calibration.fbs" "$doc.fb.json"
  "$feed" "$doc.txtpb" "$doc.pb" protoc --encode=peers.Calibration "${protoc_schema[@]}"

  "$ravelin" decode --bin "$doc.bin" --json "$back/back.json" --quiet
  flatc --json --strict-json --raw-binary -o "$back" "$peers/calibration.fbs" -- "$doc.fb.bin"
  "$feed" "$doc.pb" "$back/back.txtpb" protoc --decode=peers.Calibration "${protoc_schema[@]}"
  lost_ravelin=$("$peer_documents" compare "$doc.json" "$back/back.json")
  lost_flatc=$("$peer_documents" compare "$doc.fb.json" "$back/$name.fb.json")
  lost_protoc=$("$peer_documents" compare "$doc.txtpb" "$back/back.txtpb")
  sizes=$(printf 'JSON %d bytes, text format %d; blob %d, FlatBuffer %d, protobuf %d' \
    "$(stat -c %s "$doc.json")" "$(stat -c %s "$doc.txtpb")" "$(stat -c %s "$doc.bin")" \
    "$(stat -c %s "$doc.fb.bin")" "$(stat -c %s "$doc.pb")")
  {
    printf '### %s\n\n' "$name"
    printf 'Sizes: %s. Numbers changed in the round trip: ravelin %s, flatc %s, protoc %s.\n\n' \
      "$sizes" "$lost_ravelin" "$lost_flatc" "$lost_protoc"
  } >>"$results/peers.md"
  printf '| %s | %d | %d | %d | %d | %d | %s / %s / %s of %s |\n' "$name" \
    "$(stat -c %s "$doc.json")" "$(stat -c %s "$doc.txtpb")" "$(stat -c %s "$doc.bin")" \
    "$(stat -c %s "$doc.fb.bin")" "$(stat -c %s "$doc.pb")" "${lost_ravelin%/*}" \
    "${lost_flatc%/*}" "${lost_protoc%/*}" "${lost_ravelin#*/}" >>"$results/peers-sizes.md"
}

# How every tool writes: each run below writes a new file, its old one removed
# by the prepare step; ravelin's --force row replaces one instead. ravelin
# writes both durably (the file flushed before it is named, the directory
# after); flatc and protoc write in place and never flush. On the disk those
# flushes are what ravelin pays beyond the peers: their time is measured on
# its own (strace) and the disk targets are judged on ravelin's time without
# it; on tmpfs a flush costs nothing, so that table compares the work alone.
# protoc reads standard input and writes standard output; with -N there is no
# shell to redirect them, so ravelin_feed opens both files and executes
# protoc, and its own cost (the feeder row less /bin/true, measured in the
# same call; likewise its CPU time and page faults) is taken off the protoc rows.
#   peer_time_document <name> <runs> <output directory> <place> <target suffix>
peer_time_document() {
  local name=$1 runs=$2 out=$3/$1 place=$4 suffix=$5
  mkdir -p "$out/fb"
  local commands=(
    "/bin/true"
    "$feed $doc.txtpb $out/feed.out /bin/true"
    "$ravelin encode --json $doc.json --bin $out/new.bin"
    "$ravelin encode --json $doc.json --bin $out/kept.bin --force"
    "flatc -b -o $out/fb $peers/calibration.fbs $doc.fb.json"
    "$feed $doc.txtpb $out/new.pb protoc --encode=peers.Calibration ${protoc_schema[*]}"
    "$ravelin decode --bin $doc.bin --json $out/new.json"
    "$ravelin decode --bin $doc.bin --json $out/kept.json --force"
    "flatc --json --strict-json --raw-binary -o $out/fb $peers/calibration.fbs -- $doc.fb.bin"
    "$feed $doc.pb $out/new.txtpb protoc --decode=peers.Calibration ${protoc_schema[*]}"
    "$ravelin --help"
    "$ravelin decode --bin $doc.bin --json -"
  )
  local prepare=(
    true true "rm -f $out/new.bin" true "rm -f $out/fb/$name.fb.bin" "rm -f $out/new.pb"
    "rm -f $out/new.json" true "rm -f $out/fb/$name.fb.json" "rm -f $out/new.txtpb" true true
  )
  # The process-floor rows only on the small example, in its first call.
  [ "$name" = example ] && [ -z "$suffix" ] ||
    { unset 'commands[10]' 'commands[11]' 'prepare[10]' 'prepare[11]'; }
  local prepare_options=()
  for step in "${prepare[@]}"; do prepare_options+=(--prepare "$step"); done

  local json=$results/peers-$name$suffix.json
  local load_before
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  hyperfine -N -i --style basic --warmup 3 --min-runs "$runs" --export-json "$json" \
    "${prepare_options[@]}" "${commands[@]}" >"$results/peers-$name$suffix.txt"

  local t=() cpu=() faults=() flush=(0 0 0 0 0 0 0 0)
  for i in "${!commands[@]}"; do
    t[i]=$(figure "$json" "$i" median)
    cpu[i]=$(cpu_figure "$json" "$i")
    # shellcheck disable=SC2086 # each command is its words
    faults[i]=$(minor_faults "${prepare[i]}" ${commands[i]})
  done
  if [ -z "$suffix" ]; then
    for i in 2 3 6 7; do
      # shellcheck disable=SC2086
      flush[i]=$(flush_time "${prepare[i]}" ${commands[i]})
    done
  fi
  awk -v name="$name" -v place="$place" -v suffix="$suffix" -v load="$load_before" \
    -v times="${t[*]}" -v cpus="${cpu[*]}" -v fault_counts="${faults[*]}" -v flushes="${flush[*]}" \
    -v peer_limit="$peer_limit" -v help_limit="$help_limit" -v stdout_limit="$stdout_limit" \
    -v targets="$results/peer-targets.txt" -v table="$results/peers-table.md" \
    -v cpu_table="$results/peers-cpu.md" -v fault_table="$results/peers-faults.md" '
    function ms(s) { return sprintf("%.2f ms", s * 1000) }
    function target(label, value, limit, at_least) {
      ok = at_least ? value >= limit : value <= limit
      printf "%-66s %9.3f %s %-6g %s\n", label, value, (at_least ? ">=" : "<="), limit,
        (ok ? "holds" : "MISSED") >> targets
    }
    # Row r of a direction: 0 ravelin new file, 1 ravelin replacing, 2 flatc, 3 protoc.
    function row(d, r) { return (d == "encode" ? 2 : 6) + r }
    BEGIN {
      split(times, t, " "); split(cpus, c, " "); split(fault_counts, f, " "); split(flushes, fl, " ")
      # awk arrays count from 1: command i is element i + 1.
      for (i = 0; i < 12; i++) { T[i] = t[i + 1]; C[i] = c[i + 1]; F[i] = f[i + 1]; FL[i] = fl[i + 1] }
      for (i = 5; i <= 9; i += 4) { T[i] -= T[1] - T[0]; C[i] -= C[1] - C[0]; F[i] -= F[1] - F[0] }
      where = suffix == "" ? "disk" : "tmpfs"
      printf "Outputs %s: /bin/true %s, feeder %s (taken off protoc); load average %s before the call.\n\n", place, ms(T[0]), ms(T[1] - T[0]), load
      split("encode decode", dirs, " ")
      for (k = 1; k <= 2; k++) {
        d = dirs[k]; n = row(d, 0); r = row(d, 1); fb = row(d, 2); pb = row(d, 3)
        # On the disk the targets take ravelin without its flushes.
        own_n = T[n] - FL[n]; own_r = T[r] - FL[r]
        flush_cell = where == "disk" ? sprintf("%s / %s", ms(FL[n]), ms(FL[r])) : "none"
        printf "| %s | %s | %s | %s | %s | %s | %s | %s | %.2f | %.2f | %.2f | %.2f |\n", name, where, d,
          ms(T[n]), ms(T[r]), flush_cell, ms(T[fb]), ms(T[pb]),
          T[fb] / own_n, T[fb] / own_r, T[pb] / own_n, T[pb] / own_r >> table
        printf "| %s | %s | %s | %s | %s | %s | %s | %.2f | %.2f | %.2f | %.2f |\n", name, where, d,
          ms(C[n]), ms(C[r]), ms(C[fb]), ms(C[pb]),
          C[fb] / C[n], C[fb] / C[r], C[pb] / C[n], C[pb] / C[r] >> cpu_table
        printf "| %s | %s | %s | %d | %d | %d | %d |\n", name, where, d, F[n], F[r], F[fb], F[pb] >> fault_table
        tag = where == "disk" ? " (without flushes)" : " (tmpfs)"
        target(sprintf("%s %s: flatc / ravelin new file%s", name, d, tag), T[fb] / own_n, peer_limit, 1)
        target(sprintf("%s %s: flatc / ravelin replacing%s", name, d, tag), T[fb] / own_r, peer_limit, 1)
        target(sprintf("%s %s: protoc / ravelin new file%s", name, d, tag), T[pb] / own_n, peer_limit, 1)
        target(sprintf("%s %s: protoc / ravelin replacing%s", name, d, tag), T[pb] / own_r, peer_limit, 1)
        if (name == "cameras-2000" && where == "tmpfs") {
          target(sprintf("%s %s: ravelin page faults / flatc", name, d), F[n] / F[fb], 1, 0)
          target(sprintf("%s %s: ravelin page faults / protoc", name, d), F[n] / F[pb], 1, 0)
        }
      }
      if (T[10] > 0) {
        printf "ravelin --help %s (%.2f x /bin/true, %d page faults against %d); ravelin decode --json - %s (%.2f x /bin/true, %d page faults).\n\n", ms(T[10]), T[10] / T[0], F[10], F[0], ms(T[11]), T[11] / T[0], F[11]
        target("ravelin --help / /bin/true", T[10] / T[0], help_limit, 0)
        target("ravelin decode --json - / /bin/true", T[11] / T[0], stdout_limit, 0)
      }
    }' >>"$results/peers.md"
}

# Outputs go to the build directory's file system, then to tmpfs.
peer_stage_document() {
  local name=$1 runs=$2
  peer_prepare_document "$name" "${@:3}"
  peer_time_document "$name" "$runs" "$disk" "on the disk ($(df --output=fstype "$disk" | tail -1 | tr -d ' '))" ""
  peer_time_document "$name" "$runs" "$shm" "on tmpfs (/dev/shm)" "-tmpfs"
}

peer_stage() {
  : >"$results/peers.md"
  : >"$results/peer-targets.txt"
  : >"$results/peers-table.md"
  : >"$results/peers-cpu.md"
  : >"$results/peers-faults.md"
  : >"$results/peers-sizes.md"
  disk=$(mktemp -d build/bench/peer-outputs.XXXXXX)
  shm=$(mktemp -d /dev/shm/ravelin-bench.XXXXXX)
  trap 'rm -rf "$work" "$disk" "$shm"' EXIT
  peer_stage_document example 200 example examples/calibration.json
  peer_stage_document two-camera 200 two-camera
  peer_stage_document cameras-2000 10 cameras-2000
}

# The Python row: the module's decode of the example's blob beside json.loads
# of its decoded text and cbor2.loads of its CBOR, in one process.
python_stage() {
  local example=examples/calibration.json
  "$ravelin" encode --json "$example" --bin "$work/python-example.bin" --quiet --force
  PYTHONPATH=build/bench/python /usr/bin/python3 bench/python_decode.py "$work/python-example.bin" |
    tee "$results/python.txt"
}

stage process && process_stage
stage peers && peer_stage
stage python && python_stage

{
  echo
  echo "## Machine"
  echo
  echo "$machine; load average $load at the start"
  if stage process; then
    echo
    cat "$results/process.md"
  fi
  if stage peers; then
    echo
    echo "## Beside flatc $(flatc --version | awk '{print $3}') and protoc $(protoc --version | awk '{print $2}')"
    echo
    echo "Wall time (hyperfine medians); on the disk the ratios take ravelin's time less its flushes:"
    echo
    echo "| document | outputs | direction | ravelin, new file | ravelin, replacing | ravelin's flushes (new / replacing) | flatc | protoc | flatc / new | flatc / replacing | protoc / new | protoc / replacing |"
    echo "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
    cat "$results/peers-table.md"
    echo
    echo "User + system CPU time (hyperfine means):"
    echo
    echo "| document | outputs | direction | ravelin, new file | ravelin, replacing | flatc | protoc | flatc / new | flatc / replacing | protoc / new | protoc / replacing |"
    echo "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|"
    cat "$results/peers-cpu.md"
    echo
    echo "Minor page faults per run (GNU time, median of 5):"
    echo
    echo "| document | outputs | direction | ravelin, new file | ravelin, replacing | flatc | protoc |"
    echo "|---|---|---|---:|---:|---:|---:|"
    cat "$results/peers-faults.md"
    echo
    echo "| document | JSON | text format | blob | FlatBuffer | protobuf | numbers changed: ravelin / flatc / protoc |"
    echo "|---|---:|---:|---:|---:|---:|---|"
    cat "$results/peers-sizes.md"
    echo
    echo "Each call, with its load:"
    echo
    cat "$results/peers.md"
  fi
  if stage python; then
    echo
    echo "## From Python (examples/calibration.json's blob)"
    echo
    sed '$d' "$results/python.txt" | sed '$d'
  fi
  echo
  echo "## Targets"
  echo
  if stage codecs; then sed -n '/^## Targets/,$p' "$results/codecs.txt" | tail -n +3; fi
  if stage process; then cat "$results/process-targets.txt"; fi
  if stage peers; then cat "$results/peer-targets.txt"; fi
  if stage python; then tail -n 1 "$results/python.txt"; fi
} | tee "$results/summary.txt"
