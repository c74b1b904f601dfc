#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with.
# Idempotent: packages already present are left alone, and the package lists
# are refreshed only when something is missing.
#
#   scripts/install-deps.sh            build and test (native, sanitizers, packaging)
#   scripts/install-deps.sh cross      plus the ARM64 and s390x cross toolchains and qemu
#   scripts/install-deps.sh fuzz       plus clang's fuzzing runtime
#   scripts/install-deps.sh bench      plus Google Benchmark, zlib, hyperfine, jq, the
#                                      peer tools flatc and protoc, strace and GNU time,
#                                      which count flushes and page faults, and Python's cbor2
#   scripts/install-deps.sh all        everything above
set -euo pipefail

# systemd brings systemd-analyze, which checks palisade's unit. Installing it
# starts no service: its scripts call systemctl only under a running systemd.
# python3-jsonschema checks the JSON Schemas; zsh and fish run the completions.
# strace shows the tests in what order an output is flushed and named.
# chromium opens the report pages; python3-html5lib and python3-pil read the
# pages and their screenshots. pybind11-dev and python3-dev build the Python
# module, python3-pytest tests it.
base=(build-essential cmake ninja-build pkg-config g++ clang clang-format
      nlohmann-json3-dev libgtest-dev libgmock-dev dpkg-dev groff-base systemd
      python3-jsonschema zsh fish strace chromium python3-html5lib python3-pil
      pybind11-dev python3-dev python3-pytest)
cross=(g++-aarch64-linux-gnu g++-s390x-linux-gnu qemu-user googletest)
fuzz=(clang libclang-rt-14-dev)
bench=(libbenchmark-dev zlib1g-dev hyperfine jq flatbuffers-compiler protobuf-compiler strace time
       python3-cbor2)

wanted=("${base[@]}")
for group in "$@"; do
  case "$group" in
    cross) wanted+=("${cross[@]}") ;;
    fuzz) wanted+=("${fuzz[@]}") ;;
    bench) wanted+=("${bench[@]}") ;;
    all) wanted+=("${cross[@]}" "${fuzz[@]}" "${bench[@]}") ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
