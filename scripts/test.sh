#!/usr/bin/env bash
# Installs what the build needs, builds, and runs the whole test suite.
#   scripts/test.sh             the release build (preset "default")
#   scripts/test.sh sanitize    the AddressSanitizer + UBSan build
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
