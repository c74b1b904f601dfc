#!/usr/bin/env bash
# Checks that the programs link as their build says (RAVELIN_PROGRAM_LINKAGE):
#   static          no dynamic section, no loader, not position-independent
#   static-runtime  libstdc++ and libgcc linked in, libc loaded
#   dynamic         libc and libstdc++ loaded from the system
#   runtime_linkage_test.sh LINKAGE PROGRAM...
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
linkage=$1
shift

for program in "$@"; do
  if [[ $linkage == static ]]; then
    headers=$(readelf --file-header --program-headers "$program")
    [[ $headers == *"EXEC (Executable file)"* ]] || fail "$program is position-independent"
    [[ $headers != *INTERP* ]] || fail "$program names a dynamic loader"
    [[ $(readelf --dynamic "$program") == *"no dynamic section"* ]] ||
      fail "$program has a dynamic section"
    continue
  fi
  needed=$(readelf --dynamic "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  [[ $needed == *libc.so* ]] || fail "$program does not load libc: '$needed'"
  for runtime in libstdc++ libgcc_s; do
    if [[ $linkage == static-runtime && $needed == *"$runtime"* ]]; then
      fail "$program loads $runtime although the runtime is linked in"
    fi
  done
  if [[ $linkage == dynamic && $needed != *libstdc++* ]]; then
    fail "$program does not load libstdc++ although the runtime is not linked in"
  fi
done
finish
