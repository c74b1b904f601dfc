#!/usr/bin/env bash
# Builds the device's release: static, stripped ARM64 binaries of ravelin and
# palisade and the arm64 Debian package, all into dist/arm64/.
#   scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
preset=release-arm64
build=build/$preset
dist=dist/arm64

scripts/install-deps.sh cross
cmake --preset "$preset"
cmake --build --preset "$preset"

rm -rf "$dist" "$build/staging" "$build/packages"
mkdir -p "$dist"
cmake --install "$build" --prefix "$PWD/$build/staging" >/dev/null
find "$build/staging" -path '*bin/*' -type f -exec cp {} "$dist/" \;
cpack --preset "$preset" -B "$PWD/$build/packages" >/dev/null
cp "$build"/packages/*.deb "$dist/"

# Without the emulator's -L, a binary that needed the target's shared
# libraries would not start: this proves the binaries stand alone.
status=0
qemu-aarch64 "$dist/ravelin" --help >/dev/null || status=$?
if ((status != 2)); then
  echo "release: $dist/ravelin --help exited with $status under qemu-aarch64" >&2
  exit 1
fi
ls -l "$dist"
