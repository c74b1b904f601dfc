#!/usr/bin/env bash
# Every folder of the programs includes only its own headers and those of the
# floors beneath it, so the tree's structure is the structure of its includes.
#   include_floors_test.sh REPOSITORY
set -euo pipefail
cd "$1"

declare -A may_include=(
  [console]="console"
  [wire]="wire console"
  [calibration]="calibration wire console"
  [device_config]="device_config wire console"
  [geometry]="geometry"
  [check]="check geometry calibration device_config wire console"
  [diff]="diff geometry wire console"
  [report]="report diff check geometry console"
  [cli]="cli report check diff geometry calibration device_config wire console"
  [python]="python cli check diff geometry calibration device_config wire console"
  [rebind]="rebind"
)

status=0
for folder in "${!may_include[@]}"; do
  allowed=$(tr ' ' '|' <<<"${may_include[$folder]}")
  [[ -d $folder ]] || { echo "FAIL: no folder $folder/" >&2; status=1; continue; }
  if reaching=$(grep -rnE '^\s*#\s*include\s*"' "$folder" | grep -vE "include\s*\"($allowed)/"); then
    printf 'FAIL: %s/ includes from outside its floors:\n%s\n' "$folder" "$reaching" >&2
    status=1
  fi
done
exit "$status"
