#!/usr/bin/env bash
# Configures (once) and builds the Windows program and tests, and the native tools.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}
mkdir -p build

if [ ! -f build/win/CMakeCache.txt ]; then
  cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-posix.cmake \
        -DCMAKE_BUILD_TYPE=Release >build/win-configure.log 2>&1 ||
    { cat build/win-configure.log; exit 1; }
fi
if [ ! -f build/native/CMakeCache.txt ]; then
  # clang, so that the fuzz targets get libFuzzer.
  CC=clang CXX=clang++ cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        >build/native-configure.log 2>&1 || { cat build/native-configure.log; exit 1; }
fi
cmake --build build/native -j"$jobs"
cmake --build build/win -j"$jobs"
