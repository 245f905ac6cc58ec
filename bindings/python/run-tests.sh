#!/usr/bin/env bash
# Installs the package offline into a fresh venv (Debian's setuptools, no index) and runs its
# tests there against the given library.
# Usage: run-tests.sh LIBRARY WORK-DIRECTORY
set -euo pipefail
library=$(realpath "$1") work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
# Built from a copy of the bindings (the package and its generator), so that the build leaves
# nothing in the source tree.
cp -r "$here/.." "$work/bindings"
TESSALY_EXPORTS_TABLE="$here/../../src/frame/exports.table" \
  "$work/venv/bin/python" -m pip install --quiet --no-build-isolation --no-index "$work/bindings/python"
cd "$work"  # not beside the sources: the tests import the installed package
export TESSALY_LIBRARY=$library PYTHONDONTWRITEBYTECODE=1
"$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$here/tests"
# The README's example, as the README shows it.
/usr/bin/python3 "$here/../readme_shows.py" "$here/../../README.md" "$here/example/example.py"
"$work/venv/bin/python" "$here/example/example.py"
