#!/usr/bin/env bash
# Mutation testing by hand-picked mutants: applies each mutant of the lists,
# rebuilds what it touches in the default preset's build, runs the tests and
# puts the source back. A mutant the tests notice is killed; one they let
# through survived, and wants a test. Slow (a build and a test run per
# mutant), so it is a developer's tool and not part of CI.
#
#   scripts/mutants.sh [LIST...]      every scripts/mutants/*.list when none is named
#
# A list holds one mutant per line, its fields separated by tabs:
#   path  line  text-before  text-after  [ctest-regex]
# The first occurrence of text-before on that line becomes text-after; the
# regex, when given, picks the tests that run (all of them otherwise). Blank
# lines and lines starting with # are skipped. A mutant whose text-before is
# no longer on its line is reported stale: the list needs refreshing.
#
# Tests that judge no code a mutant can change (the memory ceilings, the
# package's build and the completions) are left out; MUTANTS_EXCLUDE, a CTest
# regex, names others ("" runs everything).
#
# The source is restored after each mutant, and on exit or interruption;
# the build is brought back in line with the restored tree at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

lists=("$@")
if [ ${#lists[@]} -eq 0 ]; then
  lists=(scripts/mutants/*.list)
fi
build=build/default
exclude=${MUTANTS_EXCLUDE-MemoryCeiling|packaging\.(build_deb|deb_contents|.*_completion)}
[ -f "$build/build.ninja" ] || cmake --preset default >/dev/null

backup_dir=$(mktemp -d)
mutated=""
restore() {
  if [ -n "$mutated" ]; then
    cat "$backup_dir/source" >"$mutated"  # new contents, new mtime: the next build sees it
    mutated=""
  fi
}
finish() {
  restore
  rm -rf "$backup_dir"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

killed=0 survived=0 stale=0 unbuildable=0
report() {
  printf '%-10s %s:%s  %s  ->  %s\n' "$1" "$2" "$3" "$4" "$5"
}

run_mutant() {
  local path=$1 line=$2 before=$3 after=$4 regex=$5
  if ! sed -n "${line}p" "$path" 2>/dev/null | grep -qF -- "$before"; then
    report stale "$path" "$line" "$before" "$after"
    stale=$((stale + 1))
    return
  fi
  cp "$path" "$backup_dir/source"
  mutated=$path
  LINE=$line BEFORE=$before AFTER=$after perl -i -pe '
    if ($. == $ENV{LINE}) {
      my $at = index($_, $ENV{BEFORE});
      substr($_, $at, length $ENV{BEFORE}) = $ENV{AFTER};
    }' "$path"
  local status
  if ! cmake --build "$build" >"$backup_dir/build.log" 2>&1; then
    status="unbuildable"
    unbuildable=$((unbuildable + 1))
  elif ctest --test-dir "$build" -j2 ${regex:+-R "$regex"} ${exclude:+-E "$exclude"} \
    >"$backup_dir/test.log" 2>&1; then
    status="SURVIVED"
    survived=$((survived + 1))
  else
    status="killed"
    killed=$((killed + 1))
  fi
  restore
  report "$status" "$path" "$line" "$before" "$after"
}

# Splits on every tab, so that an empty field (text-after, to delete) stays
# a field: read would merge the tabs.
split_fields() {
  local rest=$1
  fields=()
  while [[ $rest == *$'\t'* ]]; do
    fields+=("${rest%%$'\t'*}")
    rest=${rest#*$'\t'}
  done
  fields+=("$rest")
}

for list in "${lists[@]}"; do
  number=0
  while IFS= read -r entry || [ -n "$entry" ]; do
    number=$((number + 1))
    [[ -z $entry || $entry == \#* ]] && continue
    split_fields "$entry"
    if [ ${#fields[@]} -lt 4 ] || [ ${#fields[@]} -gt 5 ] || ! [[ ${fields[1]} =~ ^[1-9][0-9]*$ ]] ||
      [ -z "${fields[2]}" ]; then
      echo "mutants.sh: $list:$number: want path, line, text before, text after [, ctest regex]" >&2
      exit 2
    fi
    run_mutant "${fields[@]:0:4}" "${fields[4]:-}"
  done <"$list"
done

cmake --build "$build" >/dev/null
judged=$((killed + survived))
rate=0
[ "$judged" -gt 0 ] && rate=$((100 * killed / judged))
echo "killed $killed of $judged ($rate%), survived $survived, stale $stale, unbuildable $unbuildable"
[ "$survived" -eq 0 ] && [ "$stale" -eq 0 ]
