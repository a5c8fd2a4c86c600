#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; checks the formatting; then
# builds the core with AddressSanitizer and UndefinedBehaviorSanitizer and runs its tests again
# under them. The builds are the presets of CMakePresets.json.
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

echo "== Core under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan --parallel "$jobs"
ctest --preset asan --parallel "$jobs"
