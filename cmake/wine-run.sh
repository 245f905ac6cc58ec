#!/usr/bin/env bash
# Runs a Windows program under Wine in a 32-bit prefix of the build tree's own.
# Usage: wine-run.sh PREFIX-DIRECTORY PROGRAM [ARGUMENTS...]
set -euo pipefail
export WINEPREFIX=$(realpath -m "$1")
shift
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine garbles non-ASCII file names under the C locale.
export LC_ALL=C.UTF-8
mkdir -p "$(dirname "$WINEPREFIX")"
# The first start of a prefix takes a while, and parallel first starts race: one process
# creates it while the others wait.
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$WINEPREFIX.lock"
exec wine "$@"
