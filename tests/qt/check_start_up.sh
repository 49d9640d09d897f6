#!/usr/bin/env bash
# Start-up ends as a failure only when it hangs, never because the window is
# not yet painted or the program is kept waiting: run under
# `with-display.sh x11-iconic`, where the window manager opens every window
# minimised, for longer than start-up may take.
#
#   check_start_up.sh TARGET PROGRAM
#
# TARGET (start_up_target) stays unpainted and alive; restored, it paints,
# draws the border and ends with status 0. Meanwhile PROGRAM --help, its
# output blocked by a full pipe that nobody reads as long, ends with status 0
# once it is read.
set -uo pipefail
target=$1 exe=$2
wait_s=40
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
fail=0
bad() {
    echo "$1"
    for f in "$work"/*.out "$work"/*.err; do
        [ -s "$f" ] && sed "s|^|  $(basename "$f"): |" "$f"
    done
    fail=1
}

# The pipe is shrunk to a page and filled before the program writes to it.
python3 - "$exe" "$wait_s" >"$work/help.out" 2>"$work/help.err" <<'PY' &
import fcntl, os, subprocess, sys, time
exe, wait_s = sys.argv[1], float(sys.argv[2])
r, w = os.pipe()
fcntl.fcntl(w, 1031, 4096)  # F_SETPIPE_SZ
os.set_blocking(w, False)
try:
    while True:
        os.write(w, b"x" * 4096)
except BlockingIOError:
    pass
os.set_blocking(w, True)
p = subprocess.Popen([exe, "--help"], stdout=w)
os.close(w)
time.sleep(wait_s)
out = b""
while chunk := os.read(r, 65536):
    out += chunk
status = p.wait(timeout=10)
print(f"--help ended with status {status} once read")
sys.exit(0 if status == 0 and b"Usage: Kestivo1" in out else 1)
PY
helper=$!
pids+=("$helper")

"$target" --pace 0 >"$work/target.out" 2>"$work/target.err" &
app=$!
pids+=("$app")
win=$(timeout 20 xdotool search --sync --name '^VB ' 2>/dev/null | head -n 1)
[ -n "$win" ] || { bad "the window did not appear"; exit 1; }
xprop -id "$win" WM_STATE | grep -q 'Iconic' || bad "the window manager did not open it minimised"

sleep "$wait_s"
if ! kill -0 "$app" 2>/dev/null; then
    wait "$app"
    bad "ended with status $? while minimised for $wait_s s"
    exit 1
fi
grep -q painted "$work/target.out" && bad "it painted while minimised"

xdotool windowactivate "$win" 2>/dev/null
for ((i = 0; i < 300; i++)); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app" 2>/dev/null && { bad "restored, it did not end"; kill "$app"; }
wait "$app"
status=$?
[ "$status" -eq 0 ] || bad "restored, it ended with status $status"
grep -q painted "$work/target.out" || bad "restored, it did not paint"

wait "$helper" || bad "--help into a blocked pipe did not end well"
[ "$fail" -eq 0 ] && echo "alive and unpainted while minimised for $wait_s s; restored, it drew the border; --help waited for its reader"
exit "$fail"
