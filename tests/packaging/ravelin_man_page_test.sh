#!/usr/bin/env bash
# The ravelin(1) page renders without warnings and documents every command
# and option the program knows, exactly its exit codes, and its input limits.
#   ravelin_man_page_test.sh PAGE RAVELIN COMMAND_LINE_CPP COMMAND_LINE_H FILE_IO_H
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
page=$1 ravelin=$2 command_line_cpp=$3 command_line_h=$4 file_io_h=$5

render_man_page "$page"
text=$rendered

usage=$("$ravelin" --help || true)
mapfile -t commands < <(awk '/^Commands:/ { listed = 1; next } /^$/ { listed = 0 } listed { print $1 }' <<<"$usage")
mapfile -t usage_options < <(grep -oE -- '(^| )-{1,2}[a-z][a-z-]*' <<<"$usage" | tr -d ' ' | sort -u)
# Words the parser accepts that the usage text leaves out (aliases, --quiet).
mapfile -t parser_words < <(grep -oE '== "[^"]+"' "$command_line_cpp" | cut -d'"' -f2 | sort -u)
((${#commands[@]} > 0)) || fail "no commands found in the usage text"
require_words "$text" "$page" "${commands[@]}" "${usage_options[@]}" "${parser_words[@]}"

documented=$(awk '/^EXIT STATUS/ { inside = 1; next } /^[A-Z]/ { inside = 0 }
                  inside && /^ +[0-9]+ / { print $1 }' <<<"$text" | sort -n | tr '\n' ' ')
defined=$(grep -oE 'kExit[A-Za-z]+ = [0-9]+' "$command_line_h" | awk '{ print $3 }' | sort -n | tr '\n' ' ')
[[ $documented == "$defined" ]] || fail "exit codes documented: '$documented', defined: '$defined'"

for limit in kMaxBlobFileSize kMaxJsonFileSize; do
  expression=$(sed -nE "s/.*$limit = ([0-9ULL <*]+);.*/\\1/p" "$file_io_h" | sed 's/ULL//g')
  [[ -n $expression ]] || fail "no $limit in $file_io_h"
  require_words "$text" "$page" "$((expression))"
done

finish
