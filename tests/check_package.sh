#!/usr/bin/env bash
# Builds the Debian package from a configured build and checks its control
# fields and file list.   check_package.sh BUILD-DIRECTORY
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/kestivo1_1.00_*.deb)
fail=0
check() { if ! grep -qE "$2" <<<"$1"; then echo "missing: $2"; fail=1; fi; }

fields=$(dpkg-deb -f "$deb")
check "$fields" '^Package: kestivo1$'
check "$fields" '^Version: 1\.00$'
check "$fields" '^Depends:.*libqt6widgets6'
check "$fields" '^Depends:.*libqt6gui6'
check "$fields" '^Depends:.*fonts-arphic-ukai'
check "$fields" '^Depends:.*fonts-arphic-uming'

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
check "$files" '^\./usr/bin/Kestivo1$'
check "$files" '^\./usr/share/applications/com\.zorvelt\.Kestivo1\.desktop$'
check "$files" '^\./usr/share/metainfo/com\.zorvelt\.Kestivo1\.metainfo\.xml$'
for size in 16 32 48 64 128 256; do
    check "$files" "^\./usr/share/icons/hicolor/${size}x${size}/apps/com\.zorvelt\.Kestivo1\.png$"
done
[ "$fail" -eq 0 ] && echo "package $(basename "$deb") is complete"
exit "$fail"
