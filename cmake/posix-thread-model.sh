#!/bin/sh
# Compiler and linker launcher for the Windows test programs: runs the MinGW-w64 compiler CMake
# chose (the win32 thread model, which the DLL is built with) as its posix-thread-model twin,
# whose libstdc++ has std::mutex and std::thread. Same GCC, same ABI; only the thread model of
# the C++ runtime differs, and the test programs link it statically.
# Usage (by CMake): posix-thread-model.sh COMPILER ARGUMENTS...
set -eu
compiler=$1
shift
exec "${compiler%-win32}-posix" "$@"
