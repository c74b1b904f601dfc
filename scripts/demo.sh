#!/usr/bin/env bash
# The main job on the bundled examples: installs what the build needs, builds
# ravelin, encodes each example with round-trip verification and decodes the
# blob back. Outputs go to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target ravelin >/dev/null
ravelin=build/default/cli/ravelin
out=build/demo
mkdir -p "$out"

for example in calibration device_config; do
  printf '\n$ ravelin encode --json examples/%s.json --bin %s/%s.bin --verify --force\n' \
    "$example" "$out" "$example"
  "$ravelin" encode --json "examples/$example.json" --bin "$out/$example.bin" --verify --force
  printf '\n$ ravelin decode --bin %s/%s.bin --json %s/%s.json --force\n' \
    "$out" "$example" "$out" "$example"
  "$ravelin" decode --bin "$out/$example.bin" --json "$out/$example.json" --force
done
