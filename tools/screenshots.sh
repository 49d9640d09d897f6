#!/usr/bin/env bash
# Screenshots of the real program for the README: starts Kestivo1 under a
# private Xvfb display, clicks its buttons with xdotool and captures the
# window after each pattern.
#
#   tools/screenshots.sh [build/default/Kestivo1] [docs/screenshots]
# Needs: xvfb xdotool imagemagick
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${1:-build/default/Kestivo1}
out=${2:-docs/screenshots}
mkdir -p "$out"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$exe" &
app=$!
win=$(xdotool search --sync --onlyvisible --name 'VB ')
sleep 1

# Button centres in window pixels (96 dpi: 15 twips a pixel).
click() { xdotool mousemove --window "$win" "$1" 516 click 1 mousemove --window "$win" 4 4; }
hwbk=260 hwty=344 sgxc=424 cls=504
shot() { import -window "$win" "$out/$1.png"; echo "wrote $out/$1.png"; }

shot start
click $hwbk; sleep 1.6; shot border
click $cls; sleep 0.3
click $hwty; sleep 1.0; shot ellipse
click $cls; sleep 0.3
click $sgxc; sleep 2.0; shot windows
click $cls; sleep 0.3
click $hwbk; sleep 1.6; click $hwty; sleep 1.0; click $sgxc; sleep 2.0; shot all
