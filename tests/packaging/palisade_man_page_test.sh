#!/usr/bin/env bash
# The palisade(8) page renders without warnings and, when the program's
# sources are given, documents every environment variable they read.
#   palisade_man_page_test.sh PAGE [SOURCE...]
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
page=$1
shift

render_man_page "$page"
text=$rendered
if (($# > 0)); then
  mapfile -t variables < <(grep -ohE '"VANE_[A-Z_]+"' "$@" | tr -d '"' | sort -u)
  ((${#variables[@]} > 0)) || fail "no VANE_ variables found in $*"
  environment=$(awk '/^ENVIRONMENT/ { inside = 1; next } /^[A-Z]/ { inside = 0 } inside' <<<"$text")
  require_words "$environment" "ENVIRONMENT of $page" "${variables[@]}"
fi

finish
