#!/usr/bin/env bash
# Configures and builds the fuzz targets with clang++-14 in build-fuzz/ beside the sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root/fuzz" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$root/build-fuzz" --parallel "${RVX_FUZZ_JOBS:-$(nproc)}"
