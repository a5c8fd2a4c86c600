#!/usr/bin/env bash
# Builds RVX and starts it: the window when there is a display, otherwise the analysis of the
# bundled sample fragment on the command line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/deps.sh
source "$root/scripts/deps.sh"
rvx_install_deps

build="$root/build-release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHRV_BUILD_TESTS=OFF \
      -DHRV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    # The program keeps its settings, summary table and Data folder in the current directory.
    exec "$build/app/rvx" "$@"
fi
echo "No display: analysing the sample fragment $root/samples/nsrdb_long_00-06min.rr"
exec "$build/cli/rvx-cli" analyze "$root/samples/nsrdb_long_00-06min.rr"
