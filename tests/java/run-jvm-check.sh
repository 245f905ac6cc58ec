#!/usr/bin/env bash
# Compiles the Java host and runs it on a real JVM against the library, then against a copy of
# the library in a folder whose name is not ASCII.
# Usage: run-jvm-check.sh LIBRARY-FILE WORK-DIRECTORY
set -euo pipefail
library=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
# The JVM decodes file names and arguments by the locale.
export LC_ALL=C.UTF-8
rm -rf "$work"
mkdir -p "$work/classes"
# The binding's own Tessaly and PathHolder, as hosts declare them, and the checks here.
javac -d "$work/classes" "$here"/*.java "$here/../../bindings/java/Tessaly.java" "$here/../../bindings/java/PathHolder.java"
java -cp "$work/classes" JvmCheck "$library"
folder="$work/Zürich café 東京"
mkdir -p "$folder"
cp "$library" "$folder/libtessaly.so"
java -cp "$work/classes" JvmCheck "$folder/libtessaly.so"
