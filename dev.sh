#!/usr/bin/env bash
# Sets up a Debian 12 machine for Kestivo1 (installing only what is missing),
# then builds and starts the program, or builds and runs the whole test suite.
#
#   ./dev.sh run     build and start Kestivo1
#   ./dev.sh test    build and run every test through CTest: the suite in the
#                    release build, again under ASan + UBSan, then a bounded
#                    run of the surface fuzzer
set -euo pipefail
cd "$(dirname "$0")"

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-arphic-ukai fonts-arphic-uming
    binutils-mingw-w64-x86-64 desktop-file-utils appstream dpkg-dev
    clang libclang-rt-14-dev file fontconfig lintian man-db
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

case "${1:-run}" in
run)
    cmake --preset default
    cmake --build --preset default
    exec ./build/default/app/Kestivo1
    ;;
test)
    total=0
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    for preset in default asan fuzz; do
        echo "== $preset"
        cmake --workflow --preset "$preset" 2>&1 | tee "$log"
        n=$(grep -oE 'tests failed out of [0-9]+' "$log" | tail -n 1 | grep -oE '[0-9]+$' || true)
        total=$((total + ${n:-0}))
    done
    echo "$total passed, 0 failed"
    ;;
*)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac
