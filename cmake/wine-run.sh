#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of the build tree's own.
# Usage: wine-run.sh [--own-server] win32|win64 PREFIX-DIRECTORY PROGRAM [ARGUMENTS...]
# A win64 prefix runs 64-bit programs and, through WoW64, 32-bit ones; a win32 prefix only
# 32-bit ones. A prefix keeps the architecture it was made with.
set -Eeuo pipefail
# No step before the program may end the script silently: its status would pass for the program's.
trap 'echo "wine-run.sh: \"$BASH_COMMAND\" failed with status $?" >&2' ERR
# --own-server: first end the prefix's Wine server if one is still running. A program joins
# the running server and its desktop, and a desktop started by a program without a display
# (DISPLAY unset) has no windows to give: a program started under xvfb-run right after one
# that ran without it gets -1 from every message box. A suite that needs the display starts
# its own server.
own_server=false
if [ "${1:-}" = --own-server ]; then
  own_server=true
  shift
fi
export WINEARCH=$1
export WINEPREFIX=$(realpath -m "$2")
shift 2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine garbles non-ASCII file names under the C locale.
export LC_ALL=C.UTF-8
# In a win64 prefix the 64-bit loader starts every program; it hands 32-bit ones to the 32-bit
# loader itself. (Debian's "wine" starts the 32-bit loader first, which costs most of a minute
# per program where qemu-i386 stands in for a kernel that runs no 32-bit code.)
loader=wine
if [ "$WINEARCH" = win64 ] && [ -x /usr/lib/wine/wine64 ]; then
  loader=/usr/lib/wine/wine64
fi
mkdir -p "$(dirname "$WINEPREFIX")"
# The first start of a prefix takes a while, and parallel first starts race: one process
# creates it while the others wait.
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$loader" wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$WINEPREFIX.lock"
if $own_server; then
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
fi
exec "$loader" "$@"
