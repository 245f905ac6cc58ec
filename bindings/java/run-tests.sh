#!/usr/bin/env bash
# Compiles the Java binding (the generated JNA interface, the host classes and the formats
# layer) and runs its JUnit 5 tests on Debian's JDK against the given library.
# Usage: run-tests.sh LIBRARY GENERATED-INTERFACE WORK-DIRECTORY
set -euo pipefail
library=$(realpath "$1") interface=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
jars=/usr/share/java
rm -rf "$work"
mkdir -p "$work/classes"
javac -d "$work/classes" -cp "$jars/jna.jar" "$interface" "$here"/*.java "$here"/example/*.java
javac -d "$work/classes" -cp "$work/classes:$jars/jna.jar:$jars/junit-jupiter-api.jar:$jars/apiguardian-api.jar" \
  "$here"/test/*.java
java -Djna.library.path="$(dirname "$library")" -jar "$jars/junit-platform-console-standalone.jar" \
  --class-path "$work/classes:$jars/jna.jar" --scan-class-path --disable-banner --details=summary \
  --fail-if-no-tests
# The README's example, as the README shows it.
/usr/bin/python3 "$here/../readme_shows.py" "$here/../../README.md" "$here/example/Example.java"
java -Djna.library.path="$(dirname "$library")" -cp "$work/classes:$jars/jna.jar" Example
