#!/usr/bin/env bash
# Builds RVX and starts it: the window when there is a display, otherwise the analysis of the
# bundled sample fragment on the command line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/deps.sh
source "$root/scripts/deps.sh"
rvx_install_deps

cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --parallel --target rvx rvx-cli rvx-print
bin="$root/build-release/bin"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    # The program keeps its settings, summary table and Data folder in the current directory.
    cd - >/dev/null
    exec "$bin/rvx" "$@"
fi
echo "No display: analysing the sample fragment $root/samples/nsrdb_long_00-06min.rr"
exec "$bin/rvx-cli" analyze --format text "$root/samples/nsrdb_long_00-06min.rr"
