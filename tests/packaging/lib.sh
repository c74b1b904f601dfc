# shellcheck shell=bash
# Shared helpers of the packaging tests (sourced).
set -euo pipefail

failures=0

fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failures=$((failures + 1))
}

finish() {
  if ((failures > 0)); then
    printf '%d check(s) failed\n' "$failures" >&2
    exit 1
  fi
  echo "all checks passed"
}

# Renders a man page as plain text into $rendered; any groff warning is a
# failure.
render_man_page() {
  local page=$1 warnings
  warnings=$(mktemp)
  # shellcheck disable=SC2034 # read by the test that sources this file
  rendered=$(groff -man -ww -Tutf8 "$page" 2>"$warnings" | sed 's/.\x08//g')
  if [[ -s $warnings ]]; then
    fail "groff warns about $page: $(cat "$warnings")"
  fi
  rm -f "$warnings"
}

# Fails for each word that the rendered text does not contain as a word.
require_words() {
  local text=$1 what=$2 word
  shift 2
  for word in "$@"; do
    grep -qwF -- "$word" <<<"$text" || fail "$what does not mention '$word'"
  done
}
