#!/usr/bin/env bash
# Checks a release as its users meet it: the sums, the Windows zip unpacked into a fresh Wine
# prefix with the demo host run against each DLL from there, and each Debian package
# unpacked into an empty root, where its tool runs and a C host builds through its pkg-config
# file and CMake package (the arm64 ones under qemu-user).
# Usage: check-dist.sh DIST-DIRECTORY RELEASE-TREES WORK-DIRECTORY
#   RELEASE-TREES: the folder scripts/dist.sh built in (it holds the demo hosts)
set -euo pipefail
dist=$(realpath "$1") trees=$(realpath "$2") work=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../../cmake/wine-run.sh
version=$(sed -n 's/^project(Tessaly VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
rm -rf "$work"
mkdir -p "$work"

fail() { echo "check-dist: $*" >&2; exit 1; }

echo "-- the sums"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS)
listed=$(cut -d' ' -f3 "$dist/SHA256SUMS" | sort | tr '\n' ' ')
present=$(cd "$dist" && ls | grep -v '^SHA256SUMS$' | sort | tr '\n' ' ')
[ "$listed" = "$present" ] || fail "SHA256SUMS lists '$listed', the folder holds '$present'"

echo "-- the Windows zip in a fresh prefix"
zip=$dist/TessalyEn_M-$version-windows.zip
prefix=$work/wineprefix
unpacked=$prefix/drive_c/TessalyEn_M
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
for entry in include/tessaly.h README.txt LICENSE.txt bindings/vb/Tessaly.bas bindings/java/TessalyLibrary.java \
             bindings/dotnet/TessalyNative.cs bindings/python/tessaly/_exports.py; do
  [ -s "$unpacked/$entry" ] || fail "the zip has no $entry"
done
for pair in x86:windows-i686:32 x64:windows-x86_64:64; do
  IFS=: read -r folder tree bits <<<"$pair"
  for file in TessalyEn_M.dll libTessalyEn_M.dll.a TessalyEn_M.def tessaly.exe; do
    [ -s "$unpacked/$folder/$file" ] || fail "the zip has no $folder/$file"
  done
  cp "$trees/$tree/bin/demo_host.exe" "$unpacked/$folder/"
  shown=$(cd "$unpacked/$folder" && "$run" win64 "$prefix" demo_host.exe)
  grep -q -F "version 602, $bits-bit, loaded from C:\\TessalyEn_M\\$folder\\" <<<"$shown" ||
    fail "the demo did not run against $folder/TessalyEn_M.dll from the unpacked zip: $shown"
  (cd "$unpacked/$folder" && "$run" win64 "$prefix" tessaly.exe --version) | grep -q "library version 602" ||
    fail "$folder/tessaly.exe does not run"
  echo "   $folder: $(head -n 1 <<<"$shown" | tr -d '\r')"
done
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true

# check_package DEB ARCHITECTURE TRIPLE RUNNER...: the package's fields and files, its tool
# and a C host built against it (with the triple's compiler, run by RUNNER).
check_package() {
  local package=$1 architecture=$2 triple=$3
  shift 3
  local root=$work/root-$architecture
  echo "-- $(basename "$package")"
  [ "$(dpkg-deb -f "$package" Package Version Architecture | tr '\n' ' ')" = "Package: tessaly Version: $version Architecture: $architecture " ] ||
    fail "$package: wrong control fields"
  dpkg-deb -f "$package" Depends | grep -q libc6 || fail "$package depends on nothing"
  dpkg-deb -x "$package" "$root"
  local libdir=$root/usr/lib/$triple
  test -L "$libdir/libtessaly.so" -a -L "$libdir/libtessaly.so.6" -a -f "$root/usr/include/tessaly.h" \
       -a -f "$root/usr/share/doc/tessaly/copyright" || fail "$package lacks a file"
  "$@" "$root/usr/bin/tessaly" --version | grep -q "tessaly $version, library version 602" ||
    fail "$package: the tool does not run"
  [ "$(printf abc | "$@" "$root/usr/bin/tessaly" sha256)" = \
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  -" ] || fail "$package: the tool's digest"

  # pkg-config as the installed system would answer, rooted in the unpacked folder.
  local flags
  flags=$(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$libdir/pkgconfig pkg-config --cflags --libs tessaly)
  "${triple}-gcc" -o "$work/pkg-config-host-$architecture" "$here/../install/consumer.c" $flags
  LD_LIBRARY_PATH=$libdir "$@" "$work/pkg-config-host-$architecture" >/dev/null
  if [ "$architecture" = "$(dpkg --print-architecture)" ]; then
    cmake -S "$here/../install" -B "$work/cmake-host" -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
    cmake --build "$work/cmake-host" >/dev/null
    LD_LIBRARY_PATH=$libdir "$work/cmake-host/consumer" >/dev/null
  fi
}
check_package "$dist/tessaly_${version}_amd64.deb" amd64 x86_64-linux-gnu env
check_package "$dist/tessaly_${version}_arm64.deb" arm64 aarch64-linux-gnu qemu-aarch64 -L /usr/aarch64-linux-gnu
echo "-- the release checks passed"
