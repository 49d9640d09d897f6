#!/usr/bin/env bash
# Runs the README's test command (./dev.sh test) as root on a freshly made
# minimal Debian system, to prove that the set-up in dev.sh is complete.
#
#   tools/check-release.sh bookworm|trixie
#
# The minbase chroot is made once per release and kept, pristine, as
# /var/cache/kestivo1-release/RELEASE-base.tar; every run unpacks a new copy
# of it, so dev.sh always starts from nothing installed. Delete the tarball to
# make a newer one. Downloaded .deb files are kept in RELEASE-apt beside it and
# shared between runs; each run's full output goes to logs/ there.
# The run tests the commit HEAD points at: uncommitted changes are not included.
# Exit status: that of ./dev.sh test (1 if setting up the chroot failed), or 2
# for a usage error.
set -euo pipefail

cache=/var/cache/kestivo1-release
mirror=http://deb.debian.org/debian

usage() {
    echo "usage: $0 bookworm|trixie" >&2
    exit 2
}
[ $# -eq 1 ] || usage
release=$1
case $release in
bookworm | trixie) ;;
*) usage ;;
esac
if [ "$(id -u)" -ne 0 ]; then
    echo "$0: must run as root (debootstrap, mount and chroot need it)" >&2
    exit 2
fi

# Everything mounted below exists only in a private mount namespace: nothing
# can leak into the host's mount table or propagate back onto its /dev, and
# the kernel drops it all should this script be killed outright. unshare
# replaces this process without forking, so signals still reach the traps.
if [ -z "${KESTIVO1_MOUNT_NS:-}" ]; then
    export KESTIVO1_MOUNT_NS=1
    exec unshare --mount --propagation private -- "$0" "$@"
fi

repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
commit=$(git -C "$repo" rev-parse HEAD)

base=$cache/$release-base.tar
apt_cache=$cache/$release-apt
work=$cache/$release-work
mkdir -p "$cache/logs" "$apt_cache"

exec 9>"$cache/$release.lock"
if ! flock -n 9; then
    echo "waiting for another $release run to finish ($cache/$release.lock)" >&2
    flock 9
fi

# The mount points at or below $1 (which holds no blanks, as mountinfo would
# escape them), in the order they were mounted.
mounts_under() {
    awk -v r="$1" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo
}

# Kills what still runs inside root $1 (a test's Xvfb, say), unmounts
# everything under it, deepest first, and deletes it only once no mount is
# left, so that rm can never reach into /dev or the apt cache.
remove_root() {
    local root=$1 pid link i m signal=TERM
    [ -e "$root" ] || return 0
    # Polite first, then after 5 s by force.
    for i in 1 2 3 4 5 6 7 8 9 10; do
        local pids=()
        for link in /proc/[0-9]*/root; do
            pid=${link#/proc/}
            pid=${pid%/root}
            case $(readlink "$link" 2>/dev/null) in
            "$root" | "$root"/*) pids+=("$pid") ;;
            esac
        done
        ((${#pids[@]})) || break
        ((i > 1)) || echo "killing ${#pids[@]} process(es) left in $root" >&2
        ((i <= 5)) || signal=KILL
        kill "-$signal" "${pids[@]}" 2>/dev/null || true
        sleep 1
    done
    # Mount points under root, in reverse order of mounting.
    for m in $(mounts_under "$root" | tac); do
        umount "$m" 2>/dev/null || umount -l "$m"
    done
    if [ -n "$(mounts_under "$root")" ]; then
        echo "$0: $root still has mounts; not deleting it" >&2
        return 1
    fi
    rm -rf --one-file-system "$root"
}

base_tmp=
# shellcheck disable=SC2317 # run by the traps
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    remove_root "$work" || status=1
    [ -z "$base_tmp" ] || remove_root "$base_tmp" || status=1
    exit "$status"
}
# Only now that the lock is held: a run still waiting for it must not clean
# up the chroot of the run it waits for.
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ ! -f "$base" ]; then
    if ! command -v debootstrap >/dev/null; then
        echo "installing debootstrap"
        { apt-get update -qq &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap; } \
            >"$cache/logs/debootstrap-install.log" 2>&1 || {
            echo "$0: could not install debootstrap, see $cache/logs/debootstrap-install.log" >&2
            exit 1
        }
    fi
    # An older debootstrap may not know a newer release by name yet; each
    # release since bullseye is bootstrapped like sid.
    script=/usr/share/debootstrap/scripts/$release
    [ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
    echo "making the $release base system (once)"
    start=$SECONDS
    base_tmp=$cache/$release-base.tmp
    remove_root "$base_tmp"
    debootstrap --variant=minbase "$release" "$base_tmp" "$mirror" "$script" \
        >"$cache/logs/$release-debootstrap.log" 2>&1 || {
        echo "$0: debootstrap failed, see $cache/logs/$release-debootstrap.log" >&2
        exit 1
    }
    # The sources of a stock installation, so that dev.sh gets the same
    # package versions a real machine of that release gets.
    rm -f "$base_tmp/etc/apt/sources.list"
    cat >"$base_tmp/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $mirror
Suites: $release $release-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: $release-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    rm -f "$base_tmp"/var/cache/apt/archives/*.deb
    tar -C "$base_tmp" --one-file-system --numeric-owner --xattrs -cf "$base.tmp" .
    mv "$base.tmp" "$base"
    remove_root "$base_tmp"
    base_tmp=
    echo "base system made in $((SECONDS - start)) s: $base"
fi

start=$SECONDS
remove_root "$work" # left over from a run that was killed
mkdir "$work"
tar -C "$work" --numeric-owner --xattrs -xf "$base"

cp /etc/resolv.conf "$work/etc/resolv.conf"
# The certificate authorities this machine adds to Debian's (a proxy's, say),
# so that what goes out over TLS from here (npm) goes out from the chroot too.
extra_cas=
if compgen -G '/usr/local/share/ca-certificates/*.crt' >/dev/null; then
    cat /usr/local/share/ca-certificates/*.crt >"$work/etc/kestivo1-host-cas.pem"
    extra_cas=/etc/kestivo1-host-cas.pem
fi
# apt-get keeps .deb files anyway; apt(8) would delete them from the shared
# cache unless told not to.
cat >"$work/etc/apt/apt.conf.d/90kestivo1-keep-debs" <<'EOF'
APT::Keep-Downloaded-Packages "true";
Binary::apt::APT::Keep-Downloaded-Packages "true";
EOF
# A chroot has no init: package scripts must not start daemons in it.
printf '#!/bin/sh\nexit 101\n' >"$work/usr/sbin/policy-rc.d"
chmod 755 "$work/usr/sbin/policy-rc.d"

git clone --quiet --no-checkout --no-hardlinks "$repo" "$work/root/kestivo1"
git -C "$work/root/kestivo1" checkout --quiet --detach "$commit"

mount -t proc proc "$work/proc"
mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$work/sys"
# Private, so that the new pts and shm below cannot land on the host's /dev.
mount --bind /dev "$work/dev"
mount --make-private "$work/dev"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620,gid=5 devpts "$work/dev/pts"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$work/dev/shm"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$work/tmp"
mount -t tmpfs -o mode=755,nosuid,nodev tmpfs "$work/run"
mount --bind "$apt_cache" "$work/var/cache/apt/archives"

log=$cache/logs/$release-$(date +%Y%m%d-%H%M%S)-${commit:0:12}.log
echo "testing $commit on $release; log: $log"
# A clean environment, as a root login on a new machine would have.
# CMAKE_BUILD_PARALLEL_LEVEL keeps the builds to the machine's cores.
# Run in the background so that a signal reaches the traps at once rather
# than after the test command ends.
status=0
env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    TERM=dumb LANG=C.UTF-8 CMAKE_BUILD_PARALLEL_LEVEL="$(nproc)" \
    ${extra_cas:+NODE_EXTRA_CA_CERTS=$extra_cas} \
    chroot "$work" /bin/sh -c 'cd /root/kestivo1 && exec ./dev.sh test' \
    </dev/null >"$log" 2>&1 &
wait $! || status=$?

# Each preset's CTest count, then the end of the output (the final count,
# or whatever stopped the run).
grep -E '^== |tests passed, [0-9]+ tests failed' "$log" || true
echo ...
tail -n 6 "$log"
echo "$release, ${commit:0:12}: status $status, wall time $((SECONDS - start)) s; log: $log"
exit "$status"
