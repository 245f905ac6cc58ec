#!/usr/bin/env bash
# Compiles the .NET binding (the generated DllImports and the formats layer) into Tessaly.dll
# with mono's mcs, and runs its test program on mono against the given library, which the
# generated Tessaly.dll.config maps TessalyEn_M.dll onto.
# Usage: run-tests.sh LIBRARY GENERATED-FOLDER WORK-DIRECTORY
set -euo pipefail
library=$(realpath "$1") generated=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
mcs -nologo -warnaserror -target:library -out:"$work/Tessaly.dll" "$generated/TessalyNative.cs" "$here/TessalyFormats.cs"
cp "$generated/Tessaly.dll.config" "$work/"
mcs -nologo -warnaserror -out:"$work/TessalyTests.exe" -r:"$work/Tessaly.dll" "$here/test/TessalyTests.cs"
LD_LIBRARY_PATH=$(dirname "$library") mono "$work/TessalyTests.exe"
# The README's example, as the README shows it.
/usr/bin/python3 "$here/../readme_shows.py" "$here/../../README.md" "$here/example/Example.cs"
mcs -nologo -warnaserror -out:"$work/Example.exe" -r:"$work/Tessaly.dll" "$here/example/Example.cs"
LD_LIBRARY_PATH=$(dirname "$library") mono "$work/Example.exe"
