#!/usr/bin/env bash
# systemd's own checks of the example unit: `systemd-analyze verify` has nothing
# to say about it, and `systemd-analyze security` rates its exposure at 2.0
# ("OK") or below. Exits with 77 (skipped) where systemd-analyze is missing.
#   unit_test.sh UNIT PROGRAM
set -euo pipefail
unit=$1 program=$2
command -v systemd-analyze >/dev/null || {
  echo "skipped: systemd-analyze (Debian package systemd) is not installed"
  exit 77
}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# verify wants ExecStart to name an executable: the built program stands in.
checked=$dir/$(basename "$unit")
sed "s|^ExecStart=.*|ExecStart=$program|" "$unit" >"$checked"

status=0
# A misspelt directive is only a warning: any line naming the unit fails.
if ! report=$(systemd-analyze verify --man=no "$checked" 2>&1) || grep -qF "$checked" <<<"$report"; then
  printf 'FAIL: systemd-analyze verify:\n%s\n' "$report" >&2
  status=1
fi
# --threshold counts in tenths.
if ! rating=$(systemd-analyze security --offline=true --threshold=20 "$checked" 2>&1); then
  printf 'FAIL: exposure above 2.0:\n%s\n' "$rating" >&2
  status=1
fi
grep -F 'Overall exposure level' <<<"$rating" || true
exit $status
