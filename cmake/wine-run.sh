#!/usr/bin/env bash
# Runs a Windows program of the cross build under wine: wine-run.sh PREFIX PROGRAM.exe [ARGS...].
# The cross build's emulator (CMAKE_CROSSCOMPILING_EMULATOR), so ctest runs the Windows tests
# with it. PREFIX is the build's own wine prefix (WINEPREFIX in the environment wins), made on
# the first run; wine's debug output is off unless WINEDEBUG says otherwise.
set -euo pipefail
prefix=${WINEPREFIX:-$1}
shift
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
# Debian's wine64 package installs the loader in /usr/lib/wine; the wine package adds "wine".
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
if [ ! -x "$wine" ]; then
    echo "wine-run.sh: wine is not installed (Debian: apt-get install wine64)" >&2
    exit 127
fi
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    # Two tests started at once make the prefix once.
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        "$wine" wineboot -i >/dev/null 2>&1 || true
        # Wait until the first start has written the registry.
        "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
    fi
    flock -u 9
    exec 9>&-
fi
exec "$wine" "$@"
