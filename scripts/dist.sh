#!/usr/bin/env bash
# Builds every release target from clean trees and writes the release into OUTPUT (dist/):
#   TessalyEn_M-VERSION-windows.zip   both DLLs with their import libraries, .def files and the
#                                     tool, the header, the bindings, a README and the licence
#   tessaly_VERSION_amd64.deb, tessaly_VERSION_arm64.deb
#   SHA256SUMS                        made by the tool just built, in sha256sum's form
# The same commit gives the same bytes in any folder at any time: every time stamp is the
# commit's (SOURCE_DATE_EPOCH), no build path reaches a binary, archive entries are sorted.
# Usage: dist.sh [OUTPUT]
set -euo pipefail
cd "$(dirname "$0")/.."
source=$(pwd)
output=$(realpath -m "${1:-dist}")
work=$source/build/dist
jobs=$(nproc 2>/dev/null || echo 2)

umask 022
export LC_ALL=C TZ=UTC
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || true)
  if [ -z "$SOURCE_DATE_EPOCH" ]; then
    echo "dist: not a git checkout; set SOURCE_DATE_EPOCH to the release's time" >&2
    exit 2
  fi
fi
export SOURCE_DATE_EPOCH
version=$(sed -n 's/^project(Tessaly VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# build_tree NAME TOOLCHAIN-FILE|-: configures and builds one release tree, without tests.
build_tree() {
  local tree=$work/$1 compilers
  if [ "$2" = - ]; then
    compilers=(-DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++)
  else
    compilers=(-DCMAKE_TOOLCHAIN_FILE="$source/cmake/$2")
  fi
  # The Windows files ship as linked; CPack strips the Linux ones as it packs them.
  case $1 in windows-*) compilers+=(-DCMAKE_SHARED_LINKER_FLAGS=-s -DCMAKE_EXE_LINKER_FLAGS=-s) ;; esac
  echo "== dist: $1"
  cmake -S "$source" -B "$tree" "${compilers[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DTESSALY_TESTS=OFF -DTESSALY_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
  cmake --build "$tree" --parallel "$jobs" >/dev/null
}

rm -rf "$work" "$output"
mkdir -p "$work" "$output"
build_tree windows-i686 toolchain-i686-w64-mingw32.cmake
build_tree windows-x86_64 toolchain-x86_64-w64-mingw32.cmake
build_tree linux-amd64 -
build_tree linux-arm64 toolchain-aarch64-linux-gnu.cmake

for tree in linux-amd64 linux-arm64; do
  (cd "$work/$tree" && cpack -G DEB >/dev/null)
  cp "$work/$tree"/package/tessaly_*.deb "$output/"
done

# The Windows archive, assembled in a folder of its own and zipped from there.
stage=$work/windows-zip
mkdir -p "$stage/include" "$stage/bindings"
for pair in x86:windows-i686 x64:windows-x86_64; do
  folder=$stage/${pair%%:*} bin=$work/${pair#*:}/bin
  mkdir -p "$folder"
  cp "$bin/TessalyEn_M.dll" "$bin/libTessalyEn_M.dll.a" "$bin/tessaly.exe" "$folder/"
  { echo "; The module definition libTessalyEn_M.dll.a was made from (GNU dlltool's form):"
    echo "; each symbol tessaly.h declares, bound to the name TessalyEn_M.dll exports."
    cat "$work/${pair#*:}/exports/imports.def"; } > "$folder/TessalyEn_M.def"
done
cp include/tessaly.h "$stage/include/"
sed "s/@VERSION@/$version/g" packaging/README-windows.txt > "$stage/README.txt"
cp LICENSE "$stage/LICENSE.txt"

generated=$work/windows-i686/bindings
mkdir -p "$stage/bindings/vb" "$stage/bindings/java" "$stage/bindings/dotnet"
cp bindings/README.md "$stage/bindings/"
cp "$generated/vb/Tessaly.bas" bindings/vb/README.md "$stage/bindings/vb/"
cp "$generated/java/TessalyLibrary.java" bindings/java/*.java bindings/java/README.md "$stage/bindings/java/"
cp -r bindings/java/example "$stage/bindings/java/"
cp "$generated/dotnet/TessalyNative.cs" bindings/dotnet/*.cs bindings/dotnet/README.md "$stage/bindings/dotnet/"
cp -r bindings/dotnet/example "$stage/bindings/dotnet/"
mkdir -p "$stage/bindings/python/tessaly"
cp bindings/python/setup.py bindings/python/README.md "$stage/bindings/python/"
cp -r bindings/python/example "$stage/bindings/python/"
cp bindings/python/tessaly/__init__.py "$stage/bindings/python/tessaly/"
/usr/bin/python3 bindings/generate.py src/frame/exports.table python "$stage/bindings/python/tessaly/_exports.py"
find "$stage" -name __pycache__ -prune -exec rm -rf {} +

/usr/bin/python3 scripts/write_zip.py "$stage" "$output/TessalyEn_M-$version-windows.zip"

# The sums, by the project's own tool, then checked by coreutils.
tool=$work/linux-amd64/bin/tessaly
(cd "$output" && "$tool" sha256 $(ls | grep -v '^SHA256SUMS$') > SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
echo "== dist: $output"
(cd "$output" && cat SHA256SUMS)
