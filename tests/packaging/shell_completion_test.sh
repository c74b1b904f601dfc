#!/usr/bin/env bash
# The zsh and fish completions offer what the bash one offers, in the manner
# of their shell (options once a "-" is typed): commands, the options of each
# command less those given, JSON files after --json and any file after --bin.
#   shell_completion_test.sh zsh|fish SCRIPT
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
shell=$1 script=$(realpath "$2")
helpers=$(realpath "$(dirname "$0")")

if ! command -v "$shell" >/dev/null; then
  echo "skipped: $shell is not installed (scripts/install-deps.sh installs it)"
  exit 77
fi

workspace=$(mktemp -d)
trap 'rm -rf "$workspace"' EXIT
mkdir "$workspace/blobs"
touch "$workspace/cal.json" "$workspace/cal.bin" "$workspace/notes.txt"

# The line as typed up to the cursor, and the offers expected, sorted.
cases=(
  "ravelin |check compare-encodings decode diff encode inspect test-crc verify"
  "ravelin de|decode"
  "ravelin -|--help --version -V -h"
  "ravelin decode --|--bin --force --json --quiet"
  "ravelin decode-verify -|--bin --force --json --quiet"
  "ravelin encode --json cal.json -|--bin --force --quiet --verify"
  "ravelin verify -|--bin --json --quiet"
  "ravelin check --json cal.json -|--bin --quiet"
  "ravelin compare-encodings -|--json --quiet"
  "ravelin test-crc --json cal.json -|--quiet"
  "ravelin inspect --bin cal.bin -|--force --json --quiet"
  "ravelin diff --old cal.bin --tolerance-px 2 -|--force --json --new --quiet"
  "ravelin diff --json r.json --new |- blobs cal.bin cal.json notes.txt"
  "ravelin frobnicate --|"
  "ravelin decode --bin |- blobs cal.bin cal.json notes.txt"
  "ravelin encode --json |- blobs cal.json"
  "ravelin verify --json -|-"
  "ravelin verify --bin cal.bin --json ca|cal.json"
  # A path that looks like an option is a path: --force stays on offer.
  "ravelin encode --json --force -|--bin --force --quiet --verify"
)

# One line of offers per line typed, in the shell under test.
offers() {
  cd "$workspace" || exit
  if [[ $shell == zsh ]]; then
    zsh -f "$helpers/zsh_offers.zsh" "$(dirname "$script")"
  else
    mapfile -t lines
    fish --no-config -c 'source $argv[1]
      for line in $argv[2..]
        echo (complete -C $line | string replace -r "\t.*" "" | string join " ")
      end' "$script" "${lines[@]}"
  fi
}

mapfile -t actual < <(printf '%s\n' "${cases[@]%%|*}" | offers)
for i in "${!cases[@]}"; do
  line=${cases[i]%%|*} expected=${cases[i]#*|}
  # Directories are offered with their slash by fish, without it by zsh.
  sorted=$(tr ' ' '\n' <<<"${actual[i]-}" | sed 's|/$||' | grep . | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//') || true
  [[ $sorted == "$expected" ]] || fail "$shell completing '$line': got '$sorted', expected '$expected'"
done

finish
