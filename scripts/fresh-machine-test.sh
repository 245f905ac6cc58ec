#!/usr/bin/env bash
# Runs the README's test command as a new machine would: on a Debian 12 system just made by
# debootstrap (its base packages only; the project's own script installs the rest), from a
# clean clone of a commit. Needs root. Leaves the system and its log in the work folder.
# Usage: fresh-machine-test.sh WORK-FOLDER [COMMIT]
#   TESSALY_FRESH_BASE: a folder debootstrap filled once and nothing has run in since, copied
#   instead of running debootstrap again (for several runs)
set -euo pipefail
work=$(realpath -m "$1")
commit=${2:-HEAD}
source=$(git rev-parse --show-toplevel)
root=$work/root
log=$work/test.log
mirror=http://deb.debian.org/debian

command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
[ ! -e "$root" ] || { echo "fresh-machine-test: $root exists; give a new folder" >&2; exit 2; }
mkdir -p "$work" "$root"
if [ -n "${TESSALY_FRESH_BASE:-}" ]; then
  cp -a "$TESSALY_FRESH_BASE/." "$root/"
else
  debootstrap --include=git,ca-certificates bookworm "$root" "$mirror" > "$work/debootstrap.log" 2>&1
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone -q "$source" "$root/src"
git -C "$root/src" checkout -q "$commit"

mounted=()
unmount_all() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
}
trap unmount_all EXIT
mount_in() {  # mount_in TARGET ARGUMENTS...
  mount "${@:2}" "$root$1"
  mounted+=("$root$1")
}
mount_in /proc -t proc proc
mount_in /sys -t sysfs sysfs
mount_in /dev --bind /dev
mount_in /dev/pts --bind /dev/pts
mount_in /dev/shm -t tmpfs tmpfs

echo "fresh-machine-test: $(git -C "$root/src" log -1 --format='%h %s') on a new Debian 12 in $root"
start=$(date +%s)
status=0
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 TERM=dumb bash -c 'cd /src && ./build.sh test' > "$log" 2>&1 || status=$?
echo "fresh-machine-test: exit status $status after $(( ($(date +%s) - start) / 60 )) min; log in $log"
tail -5 "$log"
exit $status
