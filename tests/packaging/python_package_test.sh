#!/usr/bin/env bash
# Inspects the Debian package python3-ravelin of this build: its fields, its
# exact file list, and the package imported from a temporary root it is
# extracted into, by the interpreter it was built for.
#   python_package_test.sh PACKAGE_DIR VERSION SOURCE_DIR PYTHON
# shellcheck source=tests/packaging/lib.sh
source "$(dirname "$0")/lib.sh"
package_dir=$1 version=$2 source_dir=$3 python=$4

mapfile -t packages < <(find "$package_dir" -maxdepth 1 -name 'python3-ravelin_*.deb')
if ((${#packages[@]} != 1)); then
  fail "expected one package python3-ravelin in $package_dir, found ${#packages[@]}"
  finish
fi
package=${packages[0]}

field() { dpkg-deb --field "$package" "$1"; }
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', not $version"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] ||
  fail "Architecture is '$(field Architecture)'"
abi=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
for dependency in "python3 (>= $abi)" "python3 (<< " libc6 libstdc++6; do
  [[ $(field Depends) == *"$dependency"* ]] || fail "Depends lacks '$dependency': '$(field Depends)'"
done

module_dir=./usr/lib/python3/dist-packages/ravelin
extension=$("$python" -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
expected=$(printf '%s\n' "$module_dir/__init__.py" "$module_dir/_ravelin$extension" \
  "$module_dir/_ravelin.pyi" "$module_dir/py.typed" | sort)
contents=$(dpkg-deb --contents "$package")
actual=$(awk '$1 ~ /^-/ { print $6 }' <<<"$contents" | sort)
[[ $actual == "$expected" ]] || fail "package files differ: $(diff <(echo "$expected") <(echo "$actual") || true)"
awk '$2 != "root/root" { bad = 1; print "not owned by root: " $6 } END { exit bad }' <<<"$contents" >&2 ||
  fail "files not owned by root"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$package" "$root"
for file in __init__.py _ravelin.pyi py.typed; do
  cmp -s "$root/$module_dir/$file" "$source_dir/python/ravelin/$file" || fail "packaged $file differs from its source"
done
imported=$(cd "$root" && PYTHONPATH="$root/usr/lib/python3/dist-packages" "$python" -c '
import sys, ravelin
blob = open(sys.argv[1], "rb").read()
print(ravelin.__file__.startswith(sys.argv[2]), ravelin.__version__, ravelin.encode(ravelin.decode(blob)) == blob)
' "$source_dir/tests/golden/calibration.bin" "$root") || fail "the packaged module does not import"
[[ $imported == "True $version True" ]] || fail "the packaged module gives '$imported'"

finish
