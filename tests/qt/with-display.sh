#!/usr/bin/env bash
# Runs a command under a display server of its own, started and stopped here:
#
#   with-display.sh x11 COMMAND...      Xvfb with the openbox window manager
#   with-display.sh x11-iconic COMMAND... the same, where openbox opens every
#                                       window minimised, as users may set it
#   with-display.sh wayland COMMAND...  weston's headless backend (pixman)
#   with-display.sh atspi COMMAND...    x11, and a D-Bus session with the
#                                       accessibility bus, switched on as a
#                                       screen reader would
#
# Each run has a private display number or socket and runtime directory, is
# bounded in time (KESTIVO_DISPLAY_TIMEOUT seconds, default 300), and stops
# its servers by pid, however the command ends.
set -euo pipefail

kind=${1:?usage: with-display.sh x11|x11-iconic|wayland|atspi COMMAND...}
shift
limit=${KESTIVO_DISPLAY_TIMEOUT:-300}

runtime=$(mktemp -d "${TMPDIR:-/tmp}/kestivo1-display.XXXXXX")
chmod 700 "$runtime"
pids=()
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill -- "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "${pid#-}" 2>/dev/null || true
    done
    rm -rf "$runtime"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Waits up to five seconds for a file to appear.
await() {
    local i
    for ((i = 0; i < 100; i++)); do
        [ -e "$1" ] && return 0
        sleep 0.05
    done
    echo "with-display.sh: $2 did not start" >&2
    return 1
}

# A private session bus, and on it the accessibility bus's launcher, which
# starts that bus and its registry; then switched on, as a screen reader does.
start_accessibility() {
    local launcher= candidate
    for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
        [ -x "$candidate" ] && launcher=$candidate && break
    done
    [ -n "$launcher" ] || { echo "with-display.sh: at-spi2-core is not installed" >&2; exit 1; }
    export XDG_RUNTIME_DIR=$runtime
    dbus-daemon --session --nofork --nopidfile --address="unix:path=$runtime/bus" \
        >"$runtime/dbus.log" 2>&1 &
    pids+=($!)
    await "$runtime/bus" dbus-daemon || exit 1
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus"
    # Its own process group: the launcher's bus and registry go with it.
    setsid "$launcher" --launch-immediately >"$runtime/atspi.log" 2>&1 &
    pids+=(-$!)
    for ((i = 0; i < 100; i++)); do
        dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
            org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
        sleep 0.05
    done
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
        variant:boolean:true >/dev/null
}

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
case "$kind" in
x11 | x11-iconic | atspi)
    command -v Xvfb >/dev/null || { echo "with-display.sh: Xvfb is not installed (xvfb)" >&2; exit 1; }
    # -displayfd: the server picks a free display number and tells it.
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -noreset \
        3>"$runtime/display" 2>"$runtime/xvfb.log" &
    pids+=($!)
    for ((i = 0; i < 100; i++)); do
        [ -s "$runtime/display" ] && break
        sleep 0.05
    done
    [ -s "$runtime/display" ] || { echo "with-display.sh: Xvfb did not start" >&2; cat "$runtime/xvfb.log" >&2; exit 1; }
    DISPLAY=":$(tr -dc 0-9 <"$runtime/display")"
    export DISPLAY
    if command -v openbox >/dev/null; then
        config=()
        if [ "$kind" = x11-iconic ]; then
            cat >"$runtime/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <applications>
    <application class="*"><iconic>yes</iconic></application>
  </applications>
</openbox_config>
XML
            config=(--config-file "$runtime/rc.xml")
        fi
        openbox --sm-disable "${config[@]}" >"$runtime/openbox.log" 2>&1 &
        pids+=($!)
        # Ready once it advertises itself on the root window.
        for ((i = 0; i < 100; i++)); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
            sleep 0.05
        done
        export KESTIVO_WINDOW_MANAGER=openbox
    fi
    export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$runtime
    [ "$kind" = atspi ] && start_accessibility
    ;;
wayland)
    command -v weston >/dev/null || { echo "with-display.sh: weston is not installed (weston)" >&2; exit 1; }
    export XDG_RUNTIME_DIR=$runtime
    socket=kestivo1-$$
    # Backend names changed in weston 11; the old ones remain only as files.
    backend=headless
    weston --help 2>&1 | grep -q 'headless-backend.so' && backend=headless-backend.so
    weston --backend="$backend" --use-pixman --socket="$socket" --width=1600 --height=1000 \
        --idle-time=0 --no-config >"$runtime/weston.log" 2>&1 &
    pids+=($!)
    await "$runtime/$socket" weston || { cat "$runtime/weston.log" >&2; exit 1; }
    export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
    ;;
*)
    echo "usage: with-display.sh x11|x11-iconic|wayland|atspi COMMAND..." >&2
    exit 2
    ;;
esac

timeout --kill-after=10 "$limit" "$@" &
pids=("$!" "${pids[@]}")
status=0
wait "${pids[0]}" || status=$?
exit "$status"
