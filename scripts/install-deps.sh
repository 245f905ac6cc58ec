#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build, the tests and the benchmarks need.
# Idempotent: does nothing when every package is already there. Needs root (or sudo).
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev llvm
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64
  googletest libssl-dev libgmp-dev libbotan-2-dev libcrypto++-dev libbenchmark-dev
  xvfb xauth openjdk-17-jdk-headless pkgconf libcli11-dev python3-pytest time openssl
  python3-venv python3-setuptools python3-wheel libjna-java junit5 mono-mcs mono-runtime
  g++-aarch64-linux-gnu g++-s390x-linux-gnu qemu-user zip unzip git file dpkg-dev valgrind
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# Some kernels run no 32-bit x86 program (their IA-32 emulation is off), and Wine's 32-bit
# half is one. There it runs under qemu-user, which binfmt_misc starts for every i386 ELF
# file; a kernel that runs them itself is left alone.
run_32bit_programs() {
  local binfmt=/proc/sys/fs/binfmt_misc
  # A booted system has binfmt_misc mounted; a fresh chroot or container may not, and the build
  # reads there whether qemu-i386 stands in (a registration works whether or not it is seen).
  [ -e $binfmt/register ] || $sudo mount -t binfmt_misc binfmt_misc $binfmt 2>/dev/null || true
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  if [ ! -e $binfmt/qemu-i386 ]; then
    echo "install-deps: this kernel runs no 32-bit programs; running them under qemu-i386"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
      | $sudo tee $binfmt/register >/dev/null
  fi
  /usr/lib/wine/wine --version >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  run_32bit_programs
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
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
run_32bit_programs
