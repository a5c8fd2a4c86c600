#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; then builds the core with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the core tests again under them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/deps.sh
source "$root/scripts/deps.sh"
rvx_install_deps

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== Full build and tests"
cmake -S "$root" -B "$root/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHRV_WERROR=ON
cmake --build "$root/build-test" --parallel "$jobs"
ctest --test-dir "$root/build-test" --output-on-failure --parallel "$jobs" --timeout 600

echo "== Core under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHRV_SANITIZE=ON \
      -DHRV_BUILD_GUI=OFF -DHRV_BUILD_BENCH=OFF -DHRV_WERROR=ON
cmake --build "$root/build-asan" --parallel "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure --parallel "$jobs" --timeout 900
