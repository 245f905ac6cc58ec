#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build, the tests and the benchmarks need.
# Idempotent: does nothing when every package is already there. Needs root (or sudo).
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev llvm
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64
  googletest libssl-dev libgmp-dev libbenchmark-dev
  xvfb xauth openjdk-17-jdk-headless pkgconf libcli11-dev python3-pytest time openssl
  python3-venv python3-setuptools python3-wheel libjna-java junit5 mono-mcs mono-runtime
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "install-deps: installing ${missing[*]}"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

# The i386 index of the security suite sometimes fails to download ("File has unexpected
# size"), and apt then cannot pair i386 with amd64 library versions. Ranking the security
# suite below main lets both architectures resolve from the same suite, so keep that pin
# ready and use it when the plain install fails.
pin=/etc/apt/preferences.d/tessaly-security-below-main
add_pin() {
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | $sudo tee "$pin" >/dev/null
}

update() { $sudo apt-get update -o Acquire::Retries=3 || echo "install-deps: apt-get update reported errors; going on"; }
install() { $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }

update
if ! install; then
  echo "install-deps: install failed; ranking the security suite below main and trying again"
  add_pin
  update
  install
fi
