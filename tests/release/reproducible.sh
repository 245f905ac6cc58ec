#!/usr/bin/env bash
# Builds the shipped binaries twice, from two copies of the checkout in folders of different
# names and depths, one after the other, and compares them byte for byte: both DLLs with
# their import libraries, both tessaly.exe, and libtessaly.so with the Linux tool.
# Usage: reproducible.sh WORK-DIRECTORY
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(realpath -m "$1")
jobs=$(nproc 2>/dev/null || echo 2)
rm -rf "$work"
first=$work/first/TessalyEn_M
second=$work/second/a/much/longer/folder/elsewhere
mkdir -p "$first" "$second"
# The checkout's files as the working tree has them (new ones included, ignored ones not).
git -C "$source" ls-files -z --cached --others --exclude-standard | tar -C "$source" --null -T - -cf - | tar -C "$first" -xf -
cp -a "$first/." "$second/"

# build COPY TREE TOOLCHAIN-FILE|-: the release configuration of one target, its binaries only.
build() {
  local copy=$1 tree=$2 compilers
  if [ "$3" = - ]; then
    compilers=(-DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++)
  else
    compilers=(-DCMAKE_TOOLCHAIN_FILE="$copy/cmake/$3")
  fi
  cmake -S "$copy" -B "$copy/out/$tree" "${compilers[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DTESSALY_TESTS=OFF -DTESSALY_BENCH=OFF >/dev/null
  local targets=(tessaly_tool)
  [ "$3" = - ] && targets+=(tessaly_shared) || targets+=(tessaly_dll)
  cmake --build "$copy/out/$tree" --parallel "$jobs" --target "${targets[@]}" >/dev/null
}

windows_files="bin/TessalyEn_M.dll bin/libTessalyEn_M.dll.a bin/tessaly.exe"
status=0
for target in "windows-i686 toolchain-i686-w64-mingw32.cmake $windows_files" \
              "windows-x86_64 toolchain-x86_64-w64-mingw32.cmake $windows_files" \
              "linux - lib/libtessaly.so.6.0.0 bin/tessaly"; do
  read -r tree toolchain files <<<"$target"
  build "$first" "$tree" "$toolchain"
  build "$second" "$tree" "$toolchain"
  for file in $files; do
    if cmp -s "$first/out/$tree/$file" "$second/out/$tree/$file"; then
      echo "   same bytes: $tree/$file $(sha256sum <"$first/out/$tree/$file" | cut -c1-16)"
    else
      echo "reproducible: $tree/$file differs between the two folders, or is missing" >&2
      status=1
    fi
    if grep -q -a -e "$first" -e "$second" "$first/out/$tree/$file"; then
      echo "reproducible: $tree/$file holds its build folder's path" >&2
      status=1
    fi
  done
done
exit $status
