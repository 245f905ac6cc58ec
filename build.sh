#!/usr/bin/env bash
# One entry point: installs what is missing, configures, builds and runs.
#   ./build.sh demo    build the DLL and run the demo host under Wine
#   ./build.sh test    build everything and run every test suite (what CI runs)
#   ./build.sh bench   print the benchmark table (DLL under Wine, native core, counterparts)
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)

usage() {
  sed -n '3,5p' "$0" | sed 's/^# *//'
  exit 2
}

install_dependencies() {
  bash scripts/install-deps.sh
}

# configure_and_build PRESET: configure and build one of CMakePresets.json's trees.
configure_and_build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" --parallel "$jobs"
}

run_tests() {
  local preset=$1
  echo "== tests: $preset"
  ctest --preset "$preset"
}

windows_tree=build/windows-i686

case "${1:-}" in
  demo)
    install_dependencies
    configure_and_build windows-i686
    (cd "$windows_tree/bin" && ../../../cmake/wine-run.sh ../wineprefix demo_host.exe)
    ;;
  test)
    install_dependencies
    configure_and_build windows-i686
    run_tests windows-i686
    configure_and_build native-asan
    run_tests native-asan
    configure_and_build native-release
    run_tests native-release
    echo "== all test suites passed"
    ;;
  bench)
    install_dependencies
    configure_and_build windows-i686
    configure_and_build windows-i686-portable
    configure_and_build native-release
    # The same benchmark program on the DLL and on its build without processor extensions.
    figures=$windows_tree/dll-bench.tsv
    portable_figures=$windows_tree/dll-bench-portable.tsv
    (cd "$windows_tree/bin" && ../../../cmake/wine-run.sh ../wineprefix dll_bench.exe) > "$figures"
    (cd build/windows-i686-portable/bin && ../../../cmake/wine-run.sh ../../windows-i686/wineprefix dll_bench.exe) \
      > "$portable_figures"
    build/native-release/bench/native_bench "$figures" "$portable_figures"
    ;;
  *)
    usage
    ;;
esac
