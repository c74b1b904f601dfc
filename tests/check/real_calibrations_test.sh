#!/usr/bin/env bash
# ravelin check finds nothing implausible in any real calibration of the
# control set; skipped (77) where the set is not checked out.
#   real_calibrations_test.sh RAVELIN DIRECTORY
set -uo pipefail
ravelin=$1 directory=$2

shopt -s nullglob
documents=("$directory"/*.json)
((${#documents[@]} > 0)) || { echo "SKIP: no real calibrations in $directory"; exit 77; }

status=0
for document in "${documents[@]}"; do
  "$ravelin" check --json "$document"
  code=$?
  if ((code != 0)); then
    echo "FAIL: check of $document exited with $code, not 0" >&2
    status=1
  fi
done
exit "$status"
