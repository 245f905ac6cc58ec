#!/usr/bin/env bash
# Installs the build tree into a fresh prefix, runs the installed tool, then builds two hosts
# against what was installed: one with find_package(Tessaly), one with pkg-config.
# Usage: install-and-consume.sh BUILD-TREE WORK-DIRECTORY
set -euo pipefail
tree=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
prefix=$work/prefix
cmake --install "$tree" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libtessaly.so.6' | head -n 1)")
test -L "$libdir/libtessaly.so" -a -L "$libdir/libtessaly.so.6" -a -f "$prefix/include/tessaly.h"
# The tool comes along, and runs from the prefix.
"$prefix/bin/tessaly" --version | grep -q "library version 602"

cmake -S "$here" -B "$work/cmake-host" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-host" >/dev/null
LD_LIBRARY_PATH=$libdir "$work/cmake-host/consumer"

export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -o "$work/pkg-config-host" "$here/consumer.c" $(pkg-config --cflags --libs tessaly)
LD_LIBRARY_PATH=$libdir "$work/pkg-config-host"
