#!/usr/bin/env bash
# Runs a command inside a Wine session of its own:
#
#   with-wine.sh STATE-DIR COMMAND...
#
# STATE-DIR (in the build tree) holds the Wine prefix, made on first use
# with the test set-up below. The session is a private Xvfb and a wineserver
# kept running for the whole command, so that each Windows program starts in
# a fraction of a second instead of seconds. Only one session uses a prefix
# at a time. It is bounded in time (KESTIVO_WINE_TIMEOUT seconds, default
# 1800), and its servers are stopped by pid and `wineserver -k` however the
# command ends. Inside a session for the same STATE-DIR it just runs COMMAND.
set -euo pipefail

state=${1:?usage: with-wine.sh STATE-DIR COMMAND...}
shift
(($#)) || { echo "usage: with-wine.sh STATE-DIR COMMAND..." >&2; exit 2; }
mkdir -p "$state"
state=$(cd "$state" && pwd)
if [ "${KESTIVO_WINE_SESSION:-}" = "$state" ]; then
    exec "$@"
fi
for tool in wine wineserver Xvfb iconv; do
    command -v "$tool" >/dev/null || {
        echo "with-wine.sh: $tool is not installed (packages wine wine64 xvfb)" >&2
        exit 1
    }
done
limit=${KESTIVO_WINE_TIMEOUT:-1800}

exec 9>"$state/lock"
flock 9

export WINEPREFIX=$state/prefix WINEARCH=win64
# Errors only, and no offer to install Mono or Gecko.
export WINEDEBUG=-all,err+module WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
unset LC_ALL DISPLAY WAYLAND_DISPLAY

xvfb=
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k 9>&- 2>/dev/null || true
        timeout 30 wineserver -w 9>&- 2>/dev/null || true
    fi
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# -displayfd: the server picks a free display number and tells it, ending
# the line once it is ready.
rm -f "$state/display"
Xvfb -displayfd 8 -screen 0 1600x1000x24 -nolisten tcp -noreset \
    8>"$state/display" 2>"$state/xvfb.log" 9>&- &
xvfb=$!
for ((i = 0; i < 100; i++)); do
    grep -qs '^[0-9][0-9]*$' "$state/display" && break
    sleep 0.05
done
grep -qs '^[0-9][0-9]*$' "$state/display" || { echo "with-wine.sh: Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; exit 1; }
DISPLAY=":$(tr -dc 0-9 <"$state/display")"
export DISPLAY

# The prefix's settings, as a UTF-16 registry file: regedit reads Chinese
# names from it whatever the locale (`wine reg add` garbles them unless LANG
# is a UTF-8 one). The screen is at 96 dots per inch, the Chinese faces the
# program asks for are mapped to the AR PL faces Debian has, a crash ends the
# program instead of opening a dialog that waits for ever, and Wine frames its
# windows itself, as there is no window manager (a managed window waits two
# seconds for one to hide it).
settings="Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
\"楷体_GB2312\"=\"AR PL UKai CN\"
\"楷体\"=\"AR PL UKai CN\"
\"KaiTi\"=\"AR PL UKai CN\"
\"宋体\"=\"AR PL UMing CN\"
\"SimSun\"=\"AR PL UMing CN\"
\"NSimSun\"=\"AR PL UMing CN\"

[HKEY_CURRENT_CONFIG\\Software\\Fonts]
\"LogPixels\"=dword:00000060

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
\"LogPixels\"=dword:00000060

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
\"ShowCrashDialog\"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
\"Managed\"=\"N\"
"
# The prefix is made or brought up to date, and the settings imported, under
# a server that ends with them (whatever they left running ends too); then
# the session's own server starts clean.
timeout 300 wine wineboot -i 9>&- >"$state/wineboot.log" 2>&1 ||
    { echo "with-wine.sh: wineboot failed" >&2; cat "$state/wineboot.log" >&2; exit 1; }
# Imported every time: a test that changes them for a while and is stopped
# before it puts them back leaves no trace in the next session.
{ printf '\xff\xfe'; printf '%s' "$settings" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } \
    >"$state/settings.reg"
# Z: is the root of the file system in every prefix.
timeout 120 wine regedit /S "Z:${state//\//\\}\\settings.reg" 9>&-
timeout 60 wineserver -w 9>&-
wineserver -p 9>&-

export KESTIVO_WINE_SESSION=$state
rc=0
timeout "$limit" "$@" 9>&- || rc=$?
((rc != 124)) || echo "with-wine.sh: stopped after $limit s" >&2
exit "$rc"
