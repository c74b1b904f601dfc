#!/usr/bin/env bash
# The ravelin(1) page renders without warnings and documents every command
# and option the program knows, exactly its exit codes, its input limits, the
# environment variables it reads, the thresholds of its plausibility checks and
# the tolerances of its comparison.
#   ravelin_man_page_test.sh PAGE RAVELIN COMMAND_LINE_CPP COMMAND_LINE_H FILE_IO_H LOG_CPP THRESHOLDS_H TOLERANCES_H
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
page=$1 ravelin=$2 command_line_cpp=$3 command_line_h=$4 file_io_h=$5 log_cpp=$6 thresholds_h=$7
tolerances_h=$8

render_man_page "$page"
text=$rendered

usage=$("$ravelin" --help || true)
mapfile -t commands < <(awk '/^Commands:/ { listed = 1; next } /^$/ { listed = 0 } listed { print $1 }' <<<"$usage")
mapfile -t usage_options < <(grep -oE -- '(^| )-{1,2}[a-z][a-z-]*' <<<"$usage" | tr -d ' ' | sort -u)
# Words the parser accepts that the usage text leaves out (aliases, --quiet).
mapfile -t parser_words < <(grep -oE '== "[^"]+"' "$command_line_cpp" | cut -d'"' -f2 | sort -u)
((${#commands[@]} > 0)) || fail "no commands found in the usage text"
require_words "$text" "$page" "${commands[@]}" "${usage_options[@]}" "${parser_words[@]}"
# Every command of the dispatch table is in the usage text, and so on the page.
mapfile -t dispatched < <(grep -oE '^\s*\{"[a-z][a-z-]*",' "$command_line_cpp" | cut -d'"' -f2)
((${#dispatched[@]} > 0)) || fail "no commands found in the dispatch table of $command_line_cpp"
for command in "${dispatched[@]}"; do
  printf '%s\n' "${commands[@]}" | grep -qxF -- "$command" ||
    fail "the usage text does not list the command $command"
done

documented=$(awk '/^EXIT STATUS/ { inside = 1; next } /^[A-Z]/ { inside = 0 }
                  inside && /^ +[0-9]+ / { print $1 }' <<<"$text" | sort -n | tr '\n' ' ')
defined=$(grep -oE 'kExit[A-Za-z]+ = [0-9]+' "$command_line_h" | awk '{ print $3 }' | sort -n | tr '\n' ' ')
[[ $documented == "$defined" ]] || fail "exit codes documented: '$documented', defined: '$defined'"

for limit in kMaxBlobFileSize kMaxJsonFileSize; do
  expression=$(sed -nE "s/.*$limit = ([0-9ULL <*]+);.*/\\1/p" "$file_io_h" | sed 's/ULL//g')
  [[ -n $expression ]] || fail "no $limit in $file_io_h"
  require_words "$text" "$page" "$((expression))"
done
depth=$(sed -nE 's/.*kMaxJsonDepth = ([0-9]+);.*/\1/p' "$file_io_h")
[[ -n $depth ]] || fail "no kMaxJsonDepth in $file_io_h"
require_words "$text" "$page" "$depth"

mapfile -t variables < <(grep -ohE 'getenv\("[A-Z_]+"\)' "$log_cpp" | cut -d'"' -f2 | sort -u)
((${#variables[@]} > 0)) || fail "no environment variable found in $log_cpp"
environment=$(awk '/^ENVIRONMENT/ { inside = 1; next } /^[A-Z]/ { inside = 0 } inside' <<<"$text")
require_words "$environment" "ENVIRONMENT of $page" "${variables[@]}"

for table in "$thresholds_h" "$tolerances_h"; do
  mapfile -t thresholds < <(sed -nE 's/.*constexpr double k[A-Za-z]+ = ([0-9.e-]+);.*/\1/p' "$table")
  ((${#thresholds[@]} > 0)) || fail "no thresholds in $table"
  require_words "$text" "$page" "${thresholds[@]}"
done

# The page's recipe for finding damage finds a CRC-32 mismatch, the only
# damage of this golden blob.
recipe=$(grep -oE 'ravelin inspect --bin cal.bin \| grep .*' <<<"$text" | head -n 1 || true)
[[ -n $recipe ]] || fail "no recipe that filters the listing of inspect on $page"
crc_only=$(dirname "$0")/../golden/inspect/calibration-crc-mismatch.bin
# shellcheck disable=SC2016 # expanded by the inner shell
found=$(bash -c "${recipe/ravelin inspect --bin cal.bin/'"$0" inspect --quiet --bin "$1"'}" \
  "$ravelin" "$crc_only" || true)
[[ -n $found ]] || fail "the recipe '$recipe' finds nothing in $crc_only"

finish
