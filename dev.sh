#!/usr/bin/env bash
# Sets up a Debian 12 or 13 machine for Kestivo1 (installing only what is
# missing), then builds and starts the program, or builds and runs the whole
# test suite.
#
#   ./dev.sh run     build and start Kestivo1 (warnings are not fatal here, so
#                    a newer compiler or Qt can never stop the program building)
#   ./dev.sh test    build and run every test through CTest, warnings fatal:
#                    the core's tests built without Qt, the whole suite in
#                    the release build, again under ASan + UBSan, a bounded
#                    run of each of the four fuzzers, the Windows build
#                    (cross-compiled with mingw-w64) with its tests under
#                    Wine, then the browser build: the core's tests under
#                    node and the page's in headless Chromium and Firefox
#   ./dev.sh web     build the page and serve it on 127.0.0.1 (Python's
#                    http.server), printing its address
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
case "$mode" in
run | test | web) ;;
*)
    echo "usage: $0 [run|test|web]" >&2
    exit 2
    ;;
esac

# Package names common to Debian 12 and 13: what the program needs, then what
# the tests add. The sanitizer runtime's name carries clang's major version,
# so it is derived from the clang installed.
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
    fonts-arphic-ukai fonts-arphic-uming fontconfig
)
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    binutils-mingw-w64-x86-64 desktop-file-utils appstream dpkg-dev file
    clang
    xvfb openbox x11-utils weston qt6-wayland
    xdotool dbus-daemon dbus-bin at-spi2-core python3-pyatspi
    lintian man-db
    g++-mingw-w64-x86-64-posix googletest wine wine64 python3-pefile
    chromium firefox-esr webkit2gtk-driver python3-selenium
)
# The page: Emscripten, and the fonts it carries subset by fontTools.
web_packages=(
    cmake ninja-build g++ emscripten nodejs python3 python3-fonttools python3-brotli
    fonts-arphic-ukai fonts-arphic-uming
)

if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null ||
    ! grep -qsE '^ID(_LIKE)?=.*\bdebian\b' /etc/os-release; then
    echo "dev.sh: this set-up needs Debian 12 or 13 (or a Debian-like system with apt); install the packages listed in dev.sh by hand" >&2
    exit 1
fi

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
updated=
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    echo "Installing: ${missing[*]}"
    if [ -z "$updated" ]; then
        $sudo apt-get update -qq
        updated=1
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

if [ "$mode" = run ]; then
    install_missing "${packages[@]}"
elif [ "$mode" = web ]; then
    install_missing "${web_packages[@]}"
else
    install_missing "${packages[@]}" "${test_packages[@]}" "${web_packages[@]}"
    clang_major=$(clang -dumpversion | cut -d. -f1)
    install_missing "libclang-rt-${clang_major}-dev"
    # npm installs the page tests' driver. Some machines' nodejs packages
    # carry their own npm, which Debian's would replace.
    command -v npm >/dev/null || install_missing npm
fi

if [ "$mode" = web ]; then
    cmake --preset web
    cmake --build --preset web --target kestivo_web_page kestivo_web_single
    port=${KESTIVO_WEB_PORT:-8000}
    echo "Kestivo1 at http://127.0.0.1:$port/ (one file to keep: build/web/site/Kestivo1.html); Ctrl+C ends"
    exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web/site
fi

if [ "$mode" = run ]; then
    cmake --preset app
    cmake --build --preset app
    exec ./build/app/Kestivo1
fi

# Each preset's counts come from CTest's own summary in its output: the last
# "N% tests passed, F tests failed out of T" line (a failed test's output,
# shown before it, may hold one too) and the list of tests that did not run.
# CTest counts a skipped test among the passed and leaves a disabled one out
# of its total; here both count as skipped or not run.
# A preset that fails still reports its counts; the command fails after all
# presets have run.
counts() { # WORKFLOW-OUTPUT -> "passed failed skipped", or nothing if no tests ran
    local line total='' failed=0 skipped=0 disabled=0 listing=''
    while IFS= read -r line; do
        if [[ $line =~ ^[0-9]+%\ tests\ passed(,\ ([0-9]+)\ tests\ failed)?\ out\ of\ ([0-9]+)$ ]]; then
            total=${BASH_REMATCH[3]} failed=${BASH_REMATCH[2]:-0} skipped=0 disabled=0 listing=''
        elif [ "$line" = 'The following tests did not run:' ]; then
            listing=1
        elif [ -n "$listing" ] && [[ $line =~ ^[[:space:]]*[0-9]+\ -\ .*\ \((Skipped|Disabled)\)$ ]]; then
            if [ "${BASH_REMATCH[1]}" = Skipped ]; then
                skipped=$((skipped + 1))
            else
                disabled=$((disabled + 1))
            fi
        else
            listing=''
        fi
    done <"$1"
    [ -z "$total" ] || echo "$((total - failed - skipped)) $failed $((skipped + disabled))"
}

passed=0 failed=0 skipped=0 status=0 lines=()
for preset in core default asan fuzz windows web; do
    echo "== $preset"
    # The whole output is kept beside the build, and read for the counts.
    mkdir -p "build/$preset"
    log=build/$preset/workflow.log
    rc=0
    if [ "$preset" = windows ]; then
        # One Wine session (private X server, wineserver) for all its tests.
        tests/win32/with-wine.sh build/windows/wine cmake --workflow --preset windows 2>&1 |
            tee "$log" || rc=$?
    else
        cmake --workflow --preset "$preset" 2>&1 | tee "$log" || rc=$?
    fi
    result=$(counts "$log")
    if [ -n "$result" ]; then
        read -r p f s <<<"$result"
        line="$preset: $p passed, $f failed, $s skipped or not run"
        ((rc == 0 || f != 0)) || line+=" (CTest failed)"
    elif grep -qE '^Executing workflow step [0-9]+ of [0-9]+: test preset' "$log"; then
        p=0 f=0 s=0
        line="$preset: no tests ran (CTest ran none)"
    else
        p=0 f=0 s=0
        line="$preset: no tests ran (the build failed)"
    fi
    ((rc == 0)) || status=1
    passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
    lines+=("$line")
done

printf '%s\n' "${lines[@]}"
summary="$passed passed, $failed failed"
((skipped == 0)) || summary+=", $skipped skipped"
echo "$summary (all presets)"
exit "$status"
