#!/usr/bin/env bash
# Cross-target equality: the 32-bit DLL (Wine), the 64-bit DLL (Wine) and libtessaly.so on
# x86-64, 64-bit Arm and big-endian s390x (qemu-user) make the same bytes from the same inputs,
# and each turns back what the others made.
# Usage: cross-target.sh BUILD-DIRECTORY (holding windows-i686, windows-x86_64, native-release,
# linux-aarch64 and linux-s390x)
set -euo pipefail
build=$(realpath "$1")
run=$(cd "$(dirname "$0")/../../cmake" && pwd)/wine-run.sh
work=$build/cross-target
rm -rf "$work"
mkdir -p "$work"

# cross_target_on TARGET ARGUMENTS...: runs the program of one target.
cross_target_on() {
  local target=$1
  shift
  case $target in
    win32) (cd "$build/windows-i686/bin" && "$run" "$(cat ../wine-arch.txt)" ../wineprefix cross_target.exe "$@") ;;
    win64) (cd "$build/windows-x86_64/bin" && "$run" win64 ../wineprefix cross_target.exe "$@") ;;
    linux) "$build/native-release/tests/cross_target" "$@" ;;
    aarch64 | s390x) "qemu-$target" -L "/usr/$target-linux-gnu" "$build/linux-$target/tests/cross_target" "$@" ;;
  esac
}

# The Windows programs see the Linux root as drive Z:.
as_path() { case $1 in win32 | win64) echo "Z:$2" ;; *) echo "$2" ;; esac; }

targets=(win32 win64 linux aarch64 s390x)
for target in "${targets[@]}"; do
  cross_target_on "$target" write "$(as_path "$target" "$work/$target.txt")"
done
for target in "${targets[@]:1}"; do
  if ! cmp -s "$work/win32.txt" "$work/$target.txt"; then
    echo "cross-target: $target makes other bytes than win32:"
    diff "$work/win32.txt" "$work/$target.txt" | head -n 10
    exit 1
  fi
done
echo "cross-target: ${targets[*]} made the same $(wc -l < "$work/win32.txt") records"
for reader in "${targets[@]}"; do
  for writer in "${targets[@]}"; do
    [ "$reader" = "$writer" ] && continue
    echo -n "cross-target: $reader reads $writer: "
    cross_target_on "$reader" read "$(as_path "$reader" "$work/$writer.txt")"
  done
done
