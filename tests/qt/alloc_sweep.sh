#!/usr/bin/env bash
# Fails allocations in the program across its start-up and one drawing, and
# counts how each run ends: completed (status 0), reported (status 1 with
# the program's one line), killed by a signal, or hung (never allowed).
#
#   alloc_sweep.sh TARGET SHIM RUNS
#
# The program's allocations are counted once; then RUNS values of N, spread
# evenly over them, are tried twice: failing only the Nth allocation, and
# failing every one from the Nth on. Exit status 1 if any run hung or ended
# any other way.
set -uo pipefail
target=$1 shim=$2 runs=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

KESTIVO_FAIL_COUNT="$work/count" LD_PRELOAD=$shim "$target" --pace 0 >/dev/null 2>&1 ||
    { echo "the program does not complete without faults"; exit 1; }
total=$(cat "$work/count")
echo "allocations in start-up, one drawing and exit: $total"

bad=0
for mode in once from; do
    completed=0 reported=0 killed=0 hung=0 other=0 signals=""
    for ((i = 0; i < runs; i++)); do
        n=$((1 + i * (total - 1) / (runs > 1 ? runs - 1 : 1)))
        from=()
        [ "$mode" = from ] && from=(KESTIVO_FAIL_FROM=1)
        # In a subshell of its own, whose report of a signal goes nowhere.
        (timeout -k 5 60 env LD_PRELOAD="$shim" KESTIVO_FAIL_AT=$n "${from[@]}" \
            "$target" --pace 0 >/dev/null 2>"$work/err") 2>/dev/null
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
    ((hung == 0 && other == 0)) || bad=1
done
exit "$bad"
