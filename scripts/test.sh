#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; checks the formatting; then
# builds everything, the window and its tests included, with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the tests again under them; then runs each fuzz target
# (clang's libFuzzer) for a short while. The builds are the presets of CMakePresets.json and
# fuzz/build.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/deps.sh
source "$root/scripts/deps.sh"
rvx_install_deps
cd "$root"
jobs=$(nproc)

echo "== Formatting (clang-format)"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== Full build and tests"
cmake --preset test
cmake --build --preset test --parallel "$jobs"
ctest --preset test --parallel "$jobs"

echo "== Everything under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan --parallel "$jobs"
ctest --preset asan --parallel "$jobs"

echo "== Fuzz targets, a short run each"
RVX_FUZZ_SECONDS=10 fuzz/run.sh 20000
