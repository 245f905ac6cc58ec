#!/usr/bin/env bash
# One entry point: installs what is missing, configures, builds and runs.
#   ./build.sh demo    build both DLLs and run the demo host against each under Wine
#   ./build.sh test    build every target and run every test suite (what CI runs)
#   ./build.sh bench   print the benchmark table (both DLLs under Wine, native core, counterparts)
#                      and the tool's rate on a 1 GiB file beside openssl and sha256sum
#   ./build.sh dist    build the release from clean trees into dist/: the Windows zip, the
#                      Debian packages (amd64, arm64) and SHA256SUMS
#   ./build.sh fuzz [MINUTES]  run every fuzz target MINUTES (default 10) on its kept corpus
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)

usage() {
  sed -n '3,9p' "$0" | sed 's/^# *//'
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

# run_in_tree PRESET PROGRAM...: runs a Windows program of a tree under Wine, from its bin, in
# the tree's prefix.
run_in_tree() {
  local tree=build/$1
  shift
  (cd "$tree/bin" && ../../../cmake/wine-run.sh "$(cat ../wine-arch.txt)" ../wineprefix "$@")
}

case "${1:-}" in
  demo)
    install_dependencies
    configure_and_build windows-i686
    configure_and_build windows-x86_64
    echo "== demo: 32-bit DLL"
    run_in_tree windows-i686 demo_host.exe
    echo "== demo: 64-bit DLL"
    run_in_tree windows-x86_64 demo_host.exe
    ;;
  test)
    install_dependencies
    for preset in windows-i686 windows-x86_64 native-asan native-release linux-aarch64 linux-s390x; do
      configure_and_build "$preset"
      run_tests "$preset"
    done
    echo "== tests: across targets"
    tests/cross/cross-target.sh build
    echo "== tests: the release"
    scripts/dist.sh build/release-check/dist
    tests/release/check-dist.sh build/release-check/dist build/dist build/release-check/work
    tests/release/reproducible.sh build/release-check/reproducible
    echo "== all test suites passed"
    ;;
  bench)
    install_dependencies
    for preset in windows-i686 windows-x86_64 windows-i686-portable native-release; do
      configure_and_build "$preset"
    done
    # The same benchmark program on both DLLs and on the 32-bit one built without processor
    # extensions (run in the 32-bit tree's prefix), each asked row by row by the native side.
    serve() {  # serve TREE PREFIX-TREE: the command that starts dll_bench --serve in TREE
      echo "cd '$PWD/build/$1/bin' && '$PWD/cmake/wine-run.sh' $(cat "build/$2/wine-arch.txt") ../../$2/wineprefix dll_bench.exe --serve"
    }
    mkdir -p docs
    build/native-release/bench/native_bench \
      --dll "32-bit DLL (Wine)" "$(serve windows-i686 windows-i686)" \
      --dll "64-bit DLL (Wine)" "$(serve windows-x86_64 windows-x86_64)" \
      --portable "$(serve windows-i686-portable windows-i686)" \
      --chart docs/bench-chart.svg
    echo "== the tessaly tool"
    scripts/tool-throughput.sh build/native-release/bin/tessaly build/tool-throughput
    ;;
  dist)
    install_dependencies
    scripts/dist.sh dist
    ;;
  fuzz)
    install_dependencies
    configure_and_build native-asan
    scripts/fuzz-long.sh build/native-asan "${2:-10}"
    ;;
  *)
    usage
    ;;
esac
