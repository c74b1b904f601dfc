#!/usr/bin/env bash
# Checks that the programs load the C++ runtime exactly when they should:
# linked in with RAVELIN_STATIC_RUNTIME, loaded from the system without it.
#   runtime_linkage_test.sh STATIC_RUNTIME PROGRAM...
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
static_runtime=$1
shift

for program in "$@"; do
  needed=$(readelf --dynamic "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  [[ $needed == *libc.so* ]] || fail "$program does not load libc: '$needed'"
  for runtime in libstdc++ libgcc_s; do
    if [[ $static_runtime == ON && $needed == *"$runtime"* ]]; then
      fail "$program loads $runtime although the runtime is linked in"
    fi
  done
  if [[ $static_runtime != ON && $needed != *libstdc++* ]]; then
    fail "$program does not load libstdc++ although the runtime is not linked in"
  fi
done
finish
