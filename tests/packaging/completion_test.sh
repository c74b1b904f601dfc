#!/usr/bin/env bash
# The bash completion script parses, registers itself for ravelin, and offers
# commands, the options of each command and file names after path options.
#   completion_test.sh SCRIPT
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
script=$(realpath "$1")

bash -n "$script" || fail "$script does not parse"
registration=$(bash -c 'source "$1" && complete -p ravelin' _ "$script") ||
  fail "$script registers no completion for ravelin"
[[ $registration == *" -F "* ]] || fail "ravelin is not completed by a function: $registration"

workspace=$(mktemp -d)
trap 'rm -rf "$workspace"' EXIT
mkdir "$workspace/blobs"
touch "$workspace/cal.json" "$workspace/cal.bin" "$workspace/notes.txt"

# Completes the words given (the last is the word being completed) in a
# fresh shell and prints the offers, sorted, on one line.
offers() {
  (
    cd "$workspace" || exit
    # shellcheck disable=SC1090
    source "$script"
    function=$(complete -p ravelin | sed -nE 's/.*-F ([^ ]+) .*/\1/p')
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    "$function" ravelin "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'
  )
}

expect() {
  local expected=$1 actual
  shift
  actual=$(offers "$@")
  [[ $actual == "$expected" ]] || fail "completing '$*': got '$actual', expected '$expected'"
}

expect "check compare-encodings decode diff encode inspect test-crc verify" ravelin ""
expect "decode" ravelin de
expect "--help --version -V -h" ravelin -
expect "--bin --force --json --quiet" ravelin decode --
expect "--bin --force --json --quiet" ravelin decode-verify ""
expect "--bin --force --quiet --verify" ravelin encode --json cal.json ""
expect "--bin --json --quiet" ravelin verify ""
expect "--bin --quiet" ravelin check --json cal.json ""
expect "--json --quiet" ravelin compare-encodings ""
expect "--force --json --quiet" ravelin inspect --bin cal.bin ""
expect "--quiet" ravelin test-crc --json cal.json -
expect "--force --json --new --quiet" ravelin diff --old cal.bin --tolerance-px 2 ""
expect "- blobs cal.bin cal.json notes.txt" ravelin diff --json r.json --new ""
expect "" ravelin diff --tolerance-px ""
expect "" ravelin frobnicate --
expect "- blobs cal.bin cal.json notes.txt" ravelin decode --bin ""
expect "- blobs cal.json" ravelin encode --json ""
expect "-" ravelin verify --json -
expect "cal.json" ravelin verify --bin cal.bin --json ca
# A path that looks like an option is a path: --force stays on offer.
expect "--bin --force --quiet --verify" ravelin encode --json --force ""

finish
