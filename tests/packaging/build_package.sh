#!/usr/bin/env bash
# Builds the Debian package of this build tree into an empty directory.
#   build_package.sh CPACK CPACK_CONFIG OUTPUT_DIR
set -euo pipefail
cpack=$1 config=$2 output=$3
rm -rf "$output"
"$cpack" --config "$config" -G DEB -B "$output"
