#!/usr/bin/env bash
# Kestivo1.exe's command line, run through the emulator with its output
# redirected, as a script on Windows would run it.
#
#   check_command_line.sh VERSION EMULATOR... EXE
set -uo pipefail
version=$1
shift
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
fail=0

run() {
    "$@" >"$out" 2>"$err"
    status=$?
    # Windows' line ends.
    sed -i 's/\r$//' "$out" "$err"
    what="Kestivo1 ${*: -1}"
}
bad() {
    echo "$what: $1"
    sed 's/^/  stdout: /' "$out"
    sed 's/^/  stderr: /' "$err"
    fail=1
}
status_is() { [ "$status" -eq "$1" ] || bad "status $status, expected $1"; }

for a in --version -v; do
    run "$@" "$a"
    status_is 0
    [ "$(cat "$out")" = "Kestivo1 $version" ] || bad "version is not 'Kestivo1 $version'"
done
# /? is how Windows users ask.
for a in --help '/?'; do
    run "$@" "$a"
    status_is 0
    grep -q '^ *--pace <N> ' "$out" || bad "help lacks --pace"
    grep -qiE -- '-platform|Qt' "$out" && bad "help names Qt's options"
done
# Usage errors: status 2, the culprit named in UTF-8 (the arguments come in
# UTF-16), a hint, nothing on standard output.
for a in --no-such-option --彩色 picture.bmp --pace=-1 --pace=abc; do
    run "$@" "$a"
    status_is 2
    grep -qF -- "${a%%=*}" "$err" || grep -qF -- "${a#*=}" "$err" || bad "stderr does not name '$a'"
    grep -q "^Try 'Kestivo1 --help'" "$err" || bad "no hint"
    [ "$(wc -l <"$err")" -eq 2 ] || bad "stderr is not two lines"
    [ -s "$out" ] && bad "a usage error writes to stdout"
done
exit "$fail"
