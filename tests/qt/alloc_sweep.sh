#!/usr/bin/env bash
# Fails allocations in the program and counts how each run ends: completed
# (status 0), reported (status 1 with the program's one line), killed by a
# signal, or hung (never allowed).
#
#   alloc_sweep.sh TARGET SHIM RUNS [drawing]
#
# Over start-up, one unpaced drawing and exit; or, with "drawing", over the
# allocations of one drawing paced at the real rate, frames and all, from its
# start on. On the display QT_QPA_PLATFORM names (xcb under with-display.sh),
# else offscreen.
#
# The allocations are counted once; then RUNS values of N, spread evenly
# over them, are tried twice: failing only the Nth allocation, and failing
# every one from the Nth on. Exit status 1 if any run ended with a status
# but its report, or hung; on X11 while drawing, hangs are counted but
# allowed: libxcb then waits for ever for a reply that its reader could not
# allocate. Signals are counted: they land in the libraries' own unchecked
# allocations (Qt's regions, libX11, fontconfig), where no caller can catch
# them.
set -uo pipefail
target=$1 shim=$2 runs=$3 phase=${4:-start-up}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "${QT_QPA_PLATFORM:-}" != xcb ]; then
    export QT_QPA_PLATFORM=offscreen
    unset DISPLAY WAYLAND_DISPLAY
fi
args=(--pace 0) limit=60 hangs_allowed=0
if [ "$phase" = drawing ]; then
    args=(--pace 1000000) limit=20
    export KESTIVO_FAIL_AFTER_MARK=1
    [ "$QT_QPA_PLATFORM" = xcb ] && hangs_allowed=1
fi

KESTIVO_FAIL_COUNT="$work/count" LD_PRELOAD=$shim "$target" "${args[@]}" >/dev/null 2>&1 ||
    { echo "the program does not complete without faults"; exit 1; }
total=$(cat "$work/count")
echo "$QT_QPA_PLATFORM, allocations in $( [ "$phase" = drawing ] && echo 'one paced drawing and exit' || echo 'start-up, one drawing and exit'): $total"

bad=0
for mode in once from; do
    completed=0 reported=0 killed=0 hung=0 other=0 signals=""
    for ((i = 0; i < runs; i++)); do
        n=$((1 + i * (total - 1) / (runs > 1 ? runs - 1 : 1)))
        from=()
        [ "$mode" = from ] && from=(KESTIVO_FAIL_FROM=1)
        # In a subshell of its own, whose report of a signal goes nowhere; a
        # core file would say where.
        (ulimit -c 0; timeout -k 5 "$limit" env LD_PRELOAD="$shim" KESTIVO_FAIL_AT=$n "${from[@]}" \
            "$target" "${args[@]}" >/dev/null 2>"$work/err") 2>/dev/null
        status=$?
        if [ "$status" -eq 0 ]; then
            completed=$((completed + 1))
        elif [ "$status" -eq 1 ] && grep -q '^Kestivo1: ' "$work/err"; then
            reported=$((reported + 1))
        elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
            hung=$((hung + 1))
            echo "  hung: failing allocation $n ($mode)"
        elif [ "$status" -gt 128 ]; then
            killed=$((killed + 1))
            signals+=" $n:$(kill -l $((status - 128)))"
        else
            other=$((other + 1))
            echo "  status $status at allocation $n ($mode):"
            sed 's/^/    /' "$work/err" | head -n 5
        fi
    done
    printf '%-28s runs %d: completed %d, reported %d, killed %d, hung %d, other %d\n' \
        "fail $( [ "$mode" = once ] && echo 'only the Nth' || echo 'from the Nth on'):" \
        "$runs" "$completed" "$reported" "$killed" "$hung" "$other"
    [ -n "$signals" ] && echo "  killed at (allocation:signal):$signals"
    ((other == 0 && (hung == 0 || hangs_allowed))) || bad=1
done
exit "$bad"
