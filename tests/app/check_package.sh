#!/usr/bin/env bash
# Builds the Debian package from a configured build and checks its control
# fields, its file list, the version in every file that names it, and that
# lintian finds no error and no warning.
#
#   check_package.sh BUILD-DIRECTORY VERSION
set -euo pipefail
build=$1 version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb="$out/kestivo1_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no $(basename "$deb"):"; ls "$out"; exit 1; }
fail=0
check() { if ! grep -qE -- "$2" <<<"$1"; then echo "missing: $2"; fail=1; fi; }
v=${version//./\\.}

fields=$(dpkg-deb -f "$deb")
check "$fields" '^Package: kestivo1$'
check "$fields" "^Version: $v\$"
check "$fields" '^Maintainer: [^<>]+ <[^@<>]+@[^@<>]+\.[a-z]+>$'
check "$fields" '^Depends:.*libqt6widgets6'
check "$fields" '^Depends:.*libqt6gui6'
check "$fields" '^Depends:.*fonts-arphic-ukai'
check "$fields" '^Depends:.*fonts-arphic-uming'
check "$fields" '^Recommends:.*qt6-wayland'

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
check "$files" '^\./usr/bin/Kestivo1$'
check "$files" '^\./usr/share/applications/com\.zorvelt\.Kestivo1\.desktop$'
check "$files" '^\./usr/share/metainfo/com\.zorvelt\.Kestivo1\.metainfo\.xml$'
for size in 16 32 48 64 128 256; do
    check "$files" "^\./usr/share/icons/hicolor/${size}x${size}/apps/com\.zorvelt\.Kestivo1\.png$"
done
check "$files" '^\./usr/share/man/man1/Kestivo1\.1\.gz$'
check "$files" '^\./usr/share/doc/kestivo1/copyright$'
check "$files" '^\./usr/share/doc/kestivo1/changelog\.gz$'

# The version in the installed files.
root="$out/root"
dpkg-deb -x "$deb" "$root"
check "$(cat "$root/usr/share/metainfo/com.zorvelt.Kestivo1.metainfo.xml")" "<release version=\"$v\""
check "$(zcat "$root/usr/share/man/man1/Kestivo1.1.gz")" "^\.TH .*\"Kestivo1 $v\""
check "$(zcat "$root/usr/share/doc/kestivo1/changelog.gz" | head -n 1)" "^kestivo1 \($v\) "

if ! command -v lintian >/dev/null; then
    echo "lintian is not installed: the package was not checked by it"
    [ "$fail" -eq 0 ] && exit 77
    exit 1
fi
# Root is fine here (a clean machine's test command runs as root).
if ! lintian -I --fail-on error,warning "$deb" 2> >(grep -v 'root privileges' >&2); then
    echo "lintian found errors or warnings"
    fail=1
fi
[ "$fail" -eq 0 ] && echo "package $(basename "$deb") is complete and lintian-clean"
exit "$fail"
