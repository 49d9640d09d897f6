#!/usr/bin/env bash
# The program's command line, run as a user would, with no window system in
# reach unless a test names one.
#
#   check_command_line.sh usage|no-display|qt-options|settings|threads PROGRAM VERSION
#   check_command_line.sh manual PROGRAM VERSION MANPAGE
set -uo pipefail
mode=$1 exe=$2 version=$3
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
fail=0

# run [NAME=VALUE...] ARGS...: the program without DISPLAY, WAYLAND_DISPLAY
# or QT_QPA_PLATFORM, except as given.
run() {
    local vars=()
    while [[ $# -gt 0 && $1 == *=* ]]; do vars+=("$1"); shift; done
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE "${vars[@]}" \
        "$exe" "$@" >"$out" 2>"$err"
    status=$?
    what="Kestivo1 $*"
}
bad() {
    echo "$what: $1"
    sed 's/^/  stdout: /' "$out"
    sed 's/^/  stderr: /' "$err"
    fail=1
}
status_is() { [ "$status" -eq "$1" ] || bad "status $status, expected $1"; }
stdout_has() { grep -qE -- "$1" "$out" || bad "stdout lacks /$1/"; }
stderr_has() { grep -qE -- "$1" "$err" || bad "stderr lacks /$1/"; }
stderr_lines() { [ "$(wc -l <"$err")" -eq "$1" ] || bad "stderr has $(wc -l <"$err") lines, expected $1"; }

case $mode in
usage)
    for a in --version -v; do
        run "$a"
        status_is 0
        [ "$(cat "$out")" = "Kestivo1 $version" ] || bad "version is not 'Kestivo1 $version'"
    done
    for a in --help -h; do
        run "$a"
        status_is 0
        stdout_has '^Usage: Kestivo1 \[options\]$'
        stdout_has '^ *--pace <N> '
        grep -q -- platformpluginpath "$out" && bad "help lists Qt's hidden options"
    done
    # Usage errors: status 2, one message naming the culprit, and a hint.
    run --no-such-option;    status_is 2; stderr_has "'--no-such-option'"
    run -x;                  status_is 2; stderr_has "'-x'"
    run picture.bmp;         status_is 2; stderr_has "'picture\.bmp'"
    run --pace;              status_is 2; stderr_has "'--pace'"
    for v in abc -1 1e10 nan inf ''; do
        run --pace "$v";     status_is 2; stderr_has "value '$v'"
    done
    # Qt's -visual takes any number and crashes on one the server lacks.
    run -visual 9999;        status_is 2; stderr_has "'-visual'"
    run --bogus
    stderr_has "^Try 'Kestivo1 --help'"
    stderr_lines 2
    [ -s "$out" ] && bad "a usage error writes to stdout"
    ;;
no-display)
    run
    status_is 1
    stderr_has '^Kestivo1: no display: neither DISPLAY nor WAYLAND_DISPLAY is set$'
    stderr_lines 1
    # A named display that nothing serves.
    n=97
    while [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
    run DISPLAY=:$n
    status_is 1
    stderr_has "^Kestivo1: cannot open display ':$n'\$"
    stderr_lines 1
    run -display :$n
    status_is 1
    stderr_has "cannot open display ':$n'"
    run -platform no-such-platform
    status_is 1
    stderr_has "^Kestivo1: cannot start the window system platform 'no-such-platform' \(from -platform\); there are: .*offscreen"
    stderr_lines 1
    run QT_QPA_PLATFORM=no-such-platform
    status_is 1
    stderr_has "'no-such-platform' \(from QT_QPA_PLATFORM\)"
    # Wayland asked for: the message is about Wayland, whatever DISPLAY says.
    run DISPLAY=:$n -platform wayland
    status_is 1
    stderr_has "^Kestivo1: no Wayland display: WAYLAND_DISPLAY is not set\$"
    # Platforms that start but have no screen, or fail on the way: one line
    # of ours, status 1, never an abort.
    for p in linuxfb eglfs; do
        run -platform $p
        status_is 1
        stderr_has "^Kestivo1: (the window system platform '$p' has no screen|cannot start the window system: )"
    done
    # A valid pace gets as far as the window system.
    run --pace 0
    status_is 1
    ;;
qt-options)
    # Qt's options reach Qt: the offscreen platform needs no display, so the
    # program starts and runs until stopped.
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 3 \
        "$exe" -platform offscreen -style Fusion -reverse -qwindowgeometry 400x300+0+0 --pace 0 \
        >"$out" 2>"$err"
    status=$?
    what="Kestivo1 -platform offscreen -style Fusion -reverse -qwindowgeometry ... --pace 0"
    [ "$status" -eq 124 ] || bad "ended with status $status before it was stopped"
    ;;
settings)
    # Scales the window cannot be drawn at end with one line naming the
    # setting and status 1, never an abort.
    for v in 0 -1 nan inf 1e-9 0.001 100 1e9 abc; do
        run QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$v --pace 0
        status_is 1
        stderr_has "^Kestivo1: QT_SCALE_FACTOR=$v is not a scale"
        stderr_lines 1
    done
    run QT_QPA_PLATFORM=offscreen QT_SCREEN_SCALE_FACTORS=1e9 --pace 0
    status_is 1
    stderr_has "^Kestivo1: QT_SCREEN_SCALE_FACTORS=1e9 is not a scale"
    # Each within range, but not together.
    run QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=4 QT_SCREEN_SCALE_FACTORS=4 --pace 0
    status_is 1
    stderr_has "^Kestivo1: the window's scale would be 16 "
    # Too few file descriptors: GLib would end the program with a trap.
    # shellcheck disable=SC2016 # expanded by the inner shell
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
        bash -c 'ulimit -n 8; exec "$0" --pace 0' "$exe" >"$out" 2>"$err"
    status=$?
    what="Kestivo1 under ulimit -n 8"
    status_is 1
    stderr_has "^Kestivo1: cannot open the files the window system needs"
    stderr_lines 1
    # A scale within range starts the window.
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1.5 timeout 3 \
        "$exe" --pace 0 >"$out" 2>"$err"
    status=$?
    what="QT_SCALE_FACTOR=1.5 Kestivo1 --pace 0"
    [ "$status" -eq 124 ] || bad "ended with status $status before it was stopped"
    ;;
threads)
    # Without the threads Qt needs it says so in a line and ends, never
    # hangs. A process limit binds only a user other than root.
    if [ "$(id -u)" -ne 0 ] || ! id nobody >/dev/null 2>&1; then
        echo "needs root, to run the program as nobody under a process limit"
        exit 77
    fi
    # A copy that nobody may run, wherever the build tree is (root's home).
    copy=$(mktemp -d)
    chmod 755 "$copy"
    cp "$exe" "$copy/Kestivo1"
    trap 'rm -rf "$out" "$err" "$copy"' EXIT
    for limit in 1 3; do
        # shellcheck disable=SC2016 # expanded by the inner shell
        timeout 20 su nobody -s /bin/bash -c 'ulimit -u "$1"; exec "$2" -platform offscreen --pace 0' \
            bash "$limit" "$copy/Kestivo1" >"$out" 2>"$err"
        status=$?
        what="Kestivo1 under ulimit -u $limit"
        status_is 1
        stderr_has "^Kestivo1: cannot start the threads the window system needs"
        stderr_lines 1
    done
    ;;
manual)
    man=$4
    run --help
    for option in $(grep -oE -- '(^| )--?[a-z][a-z-]*' "$out" | tr -d ' ' | sort -u); do
        zcat -f "$man" | grep -qF -- "$(sed 's/-/\\-/g' <<<"$option")" ||
            bad "the manual page does not document $option"
    done
    zcat -f "$man" | grep -qE "^\.TH KESTIVO1 1 .* \"Kestivo1 ${version//./\\.}\"" ||
        bad "the manual page's header does not give version $version"
    if ! command -v man >/dev/null; then
        echo "man is not installed (man-db): the page was not rendered"
        exit 77
    fi
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "man page warnings:"; echo "$warnings"; fail=1; }
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
[ "$fail" -eq 0 ] && echo "$mode: all as expected"
exit "$fail"
