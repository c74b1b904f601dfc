#!/usr/bin/env bash
# Inspects the Debian package ravelin of this build: its fields, its exact
# file list, and the programs run from a temporary root it is extracted into.
#   package_test.sh PACKAGE_DIR RAVELIN VERSION SOURCE_DIR WITH_PALISADE LINKAGE
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
package_dir=$1 built_ravelin=$2 version=$3 source_dir=$4 with_palisade=$5 linkage=$6

mapfile -t packages < <(find "$package_dir" -maxdepth 1 -name 'ravelin_*.deb')
if ((${#packages[@]} != 1)); then
  fail "expected one package ravelin in $package_dir, found ${#packages[@]}"
  finish
fi
package=${packages[0]}

field() { dpkg-deb --field "$package" "$1"; }
[[ $(field Package) == ravelin ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', not $version"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] ||
  fail "Architecture is '$(field Architecture)'"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
# A fully static build loads no library, so depends on none.
if [[ $linkage == static ]]; then
  [[ -z $(field Depends) ]] || fail "a static build depends on '$(field Depends)'"
else
  [[ $(field Depends) == *libc6* ]] || fail "Depends lacks libc6: '$(field Depends)'"
fi

# Packaged data files and their sources.
declare -A sources=(
  [./usr/share/man/man1/ravelin.1]=man/ravelin.1
  [./usr/share/bash-completion/completions/ravelin]=completion/ravelin.bash
  [./usr/share/zsh/vendor-completions/_ravelin]=completion/_ravelin
  [./usr/share/fish/vendor_completions.d/ravelin.fish]=completion/ravelin.fish
  [./usr/share/ravelin/schemas/compact_calibration.schema.json]=schemas/compact_calibration.schema.json
  [./usr/share/ravelin/schemas/device_config.schema.json]=schemas/device_config.schema.json
  [./usr/share/ravelin/schemas/diff_report.schema.json]=schemas/diff_report.schema.json
)
expected_files=(./usr/bin/ravelin "${!sources[@]}")
if [[ $with_palisade == ON ]]; then
  expected_files+=(./usr/lib/systemd/system/palisade.service
                   ./usr/sbin/palisade
                   ./usr/share/man/man8/palisade.8)
fi
contents=$(dpkg-deb --contents "$package")
actual=$(awk '$1 ~ /^-/ { print $6 }' <<<"$contents" | sort)
expected=$(printf '%s\n' "${expected_files[@]}" | sort)
[[ $actual == "$expected" ]] || fail "package files differ: $(diff <(echo "$expected") <(echo "$actual") || true)"
awk '$2 != "root/root" { bad = 1; print "not owned by root: " $6 } END { exit bad }' <<<"$contents" >&2 ||
  fail "files not owned by root"
for program in ./usr/bin/ravelin ./usr/sbin/palisade; do
  mode=$(awk -v path="$program" '$6 == path { print $1 }' <<<"$contents")
  [[ -z $mode || $mode == -rwxr-xr-x ]] || fail "$program has mode $mode"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$package" "$root"

for file in "${!sources[@]}"; do
  cmp -s "$root/$file" "$source_dir/${sources[$file]}" || fail "packaged $file differs from ${sources[$file]}"
done
[[ $("$root/usr/bin/ravelin" --version) == "ravelin $version" ]] ||
  fail "packaged ravelin --version does not print 'ravelin $version'"
status=0
"$root/usr/bin/ravelin" --help >"$root/help.out" 2>"$root/help.err" || status=$?
((status == 2)) || fail "packaged ravelin --help exits with $status, not 2"
[[ $(head -n 1 "$root/help.out") == "Usage:" ]] || fail "packaged ravelin --help prints no usage"
[[ ! -s $root/help.err ]] || fail "packaged ravelin --help writes to standard error"
cmp -s "$root/help.out" <("$built_ravelin" --help) ||
  fail "packaged ravelin prints another usage text than the built one"

if [[ $with_palisade == ON ]]; then
  status=0
  env -i "$root/usr/sbin/palisade" >/dev/null 2>&1 || status=$?
  ((status == 2)) || fail "packaged palisade without its environment exits with $status, not 2"
  [[ $(env -i "$root/usr/sbin/palisade" --version) == "palisade $version" ]] ||
    fail "packaged palisade --version does not print 'palisade $version'"
  grep -qx 'ExecStart=/usr/sbin/palisade' "$root/usr/lib/systemd/system/palisade.service" ||
    fail "the unit does not start /usr/sbin/palisade"
fi

finish
