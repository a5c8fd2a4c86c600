#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; checks the formatting; then
# builds everything, the window and its tests included, with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the tests again under them; runs each fuzz target (clang's
# libFuzzer) for a short while; cross-compiles the core, rvx-cli and their tests for Windows with
# MinGW-w64 and runs them under wine, rvx-cli.exe also against the Linux build and recording
# from the device simulator through a COM port; last builds the installed programs in Release,
# makes the Debian package, checks it with lintian and checks an installation of it. The builds
# are the presets of CMakePresets.json and fuzz/build.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/deps.sh
source "$root/scripts/deps.sh"
rvx_install_deps
cd "$root"
jobs=$(nproc)
# Scratch space of the phases below; a wine server or simulator left by a failed step is ended.
work=$(mktemp -d)
wine_started=0
sim_pid=
cleanup() {
    [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
    [ "$wine_started" = 0 ] || "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

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

echo "== Windows: the core, rvx-cli and their tests cross-compiled (MinGW-w64) and run under wine"
windows_start=$SECONDS
cmake --preset windows
cmake --build --preset windows --parallel "$jobs"
exe=build-windows/bin/rvx-cli.exe
# Linked statically: it needs no DLL beyond those of Windows itself.
if x86_64-w64-mingw32-objdump -p "$exe" | grep -iE "DLL Name: (libstdc|libgcc|libwinpthread)"; then
    echo "$exe needs a MinGW runtime DLL" >&2
    exit 1
fi
# Every Windows program runs in the build folder's own wine prefix (made on the first run by
# cmake/wine-run.sh, the build's emulator), in the UTF-8 locale, with one wine server kept for
# the whole phase. wine's background processes start with no pipe of ours open.
export WINEPREFIX="$root/build-windows/wine" WINEDEBUG=-all LC_ALL=C.UTF-8
win() { cmake/wine-run.sh "$WINEPREFIX" "$@"; }
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
win cmd /c exit </dev/null >/dev/null 2>&1 # makes the prefix the first time
"$wineserver" -k 2>/dev/null || true        # the prefix is this build's own
"$wineserver" -p </dev/null >/dev/null 2>&1
wine_started=1
win cmd /c exit </dev/null >/dev/null 2>&1
wine_start=$SECONDS
ctest --preset windows --parallel "$jobs"

# rvx-cli.exe against the Linux build's rvx-cli on the same inputs, in a scratch folder.
lin=build-test/bin/rvx-cli
wdir="$work/windows"
mkdir -p "$wdir"
sample=samples/nsrdb_long_00-06min.rr
# The same text, its lines ending in CR LF as Windows text does.
diff <(win "$exe" analyze --format text "$sample" | tr -d '\r') <("$lin" analyze --format text "$sample")
# A name in Cyrillic with a blank reaches the file layer whole (the arguments come as UTF-16).
cp "$sample" "$wdir/Иванов Пётр.rr"
result=$(win "$exe" analyze "$wdir/Иванов Пётр.rr")
[[ "$result" == "{\"file\": \"$wdir/Иванов Пётр.rr\", \"type\": \"rr\", \"ok\": true,"* ]] ||
    { echo "rvx-cli.exe analyze of a Cyrillic name: ${result:0:200}"; exit 1; }
# convert writes the RR file the Linux build writes (the synthetic pulse wave of the reference
# test above).
ppg=build-windows/tests/reference/synthetic/syn_pulse_clean.ppg
mkdir -p "$wdir/w" "$wdir/l"
cp "$ppg" "$wdir/w/wave.ppg"
cp "$ppg" "$wdir/l/wave.ppg"
win "$exe" convert "$wdir/w/wave.ppg" >/dev/null
"$lin" convert "$wdir/l/wave.ppg" >/dev/null
cmp "$wdir/w/wave.rr" "$wdir/l/wave.rr"
# The summary table under four programs at once: every row once and whole (the Windows lock).
for p in 1 2 3 4; do
    for k in 1 2 3; do cp "$sample" "$wdir/p${p}_$k.rr"; done
    win "$exe" analyze --table "$wdir/rvx.txt" "$wdir/p${p}_1.rr" "$wdir/p${p}_2.rr" \
        "$wdir/p${p}_3.rr" >/dev/null &
done
wait
[ "$(grep -c $'\t' "$wdir/rvx.txt")" = 13 ] || { echo "table rows:"; cat "$wdir/rvx.txt"; exit 1; }
[ "$(awk -F'\t' 'NF != 17' "$wdir/rvx.txt")" = "" ] || { echo "a torn table row"; exit 1; }

# record through COM2, which wine maps to the simulator's pseudo-terminal
# ($WINEPREFIX/dosdevices/com2 -> /dev/pts/N). start_simulator OPTIONS...: sets sim_pid, sim_pty.
start_simulator() {
    : >"$wdir/sim.out"
    : >"$wdir/sim.err"
    build-test/bin/rvx-devsim "$@" >"$wdir/sim.out" 2>"$wdir/sim.err" &
    sim_pid=$!
    for _ in $(seq 100); do
        sim_pty=$(head -n 1 "$wdir/sim.out")
        [ -n "$sim_pty" ] && break
        sleep 0.1
    done
    ln -sfn "$sim_pty" "$WINEPREFIX/dosdevices/com2"
}
# A whole recording saves the intervals the Linux build saves from the same stream.
start_simulator --speed 0 --once "$sample"
result=$(win "$exe" record --port COM2 --out "$wdir/win.rr")
wait "$sim_pid"
sim_pid=
[[ "$result" == *'"ok": true'* ]] || { echo "rvx-cli.exe record: ${result:0:200}"; exit 1; }
start_simulator --speed 0 --once "$sample"
RVX_COM2="$sim_pty" "$lin" record --out "$wdir/lin.rr" >/dev/null
wait "$sim_pid"
sim_pid=
cmp "$wdir/win.rr" "$wdir/lin.rr"
# A simulator killed while it plays ends the recording at once with the read error (with no
# limit on silence, nothing else would end it), and nothing is saved.
start_simulator --speed 1 "$sample"
(
    until grep -q playing "$wdir/sim.err"; do sleep 0.1; done
    sleep 1
    kill "$sim_pid"
) &
status=0
timeout 60 cmake/wine-run.sh "$WINEPREFIX" "$exe" record --port COM2 --silence 0 \
    --out "$wdir/gone.rr" 2>"$wdir/gone.err" >/dev/null || status=$?
wait
sim_pid=
if [ "$status" != 1 ] || ! grep -q "Ошибка чтения COM-порта" "$wdir/gone.err" ||
    [ -e "$wdir/gone.rr" ]; then
    echo "record, device gone: status $status"
    cat "$wdir/gone.err"
    exit 1
fi
# A port that leads nowhere fails to open.
ln -sfn "$wdir/no such device" "$WINEPREFIX/dosdevices/com3"
status=0
win "$exe" record --port COM3 2>"$wdir/none.err" >/dev/null || status=$?
if [ "$status" != 1 ] || ! grep -q "Ошибка инициализации COM" "$wdir/none.err"; then
    echo "record, no device: status $status"
    cat "$wdir/none.err"
    exit 1
fi
"$wineserver" -k
wine_started=0
unset LC_ALL
echo "Windows phase: $((SECONDS - windows_start)) s, of which under wine $((SECONDS - wine_start)) s"

echo "== Release build, Debian package and an installation"
cmake --preset release
cmake --build --preset release --parallel "$jobs" --target rvx rvx-cli rvx-print rvx-devsim _rvx
rm -f build-release/rvx_*.deb build-release/python3-rvx_*.deb
(cd build-release && cpack -G DEB)
deb=$(echo build-release/rvx_*.deb)
pydeb=$(echo build-release/python3-rvx_*.deb)
dpkg-deb -I "$deb"
version=$(dpkg-deb -f "$deb" Version)
# No error, warning or information from lintian (packaging/rvx.lintian-overrides says why each
# tag it accepts is right); its pedantic remarks are shown. Every dependency the package declares
# is installed or installable here.
lintian --fail-on error,warning,info --display-info --pedantic "$deb" "$pydeb"
apt-get install --simulate -q "./$deb" "./$pydeb" >/dev/null
stage="$work/stage"
mkdir -p "$stage"
cmake --install build-release --prefix "$stage/prefix" >/dev/null
dpkg-deb -x "$deb" "$stage/deb"
dpkg-deb -x "$pydeb" "$stage/deb"
# The Python module imports from the package's folder and from an installation's site folder.
for site in "$stage/deb/usr/lib/python3/dist-packages" "$stage/prefix/lib/python3.11/site-packages"; do
    answer=$(cd "$work" && PYTHONPATH="$site" /usr/bin/python3 -c "import rvx; print(rvx.__version__)")
    [ "$answer" = "$version" ] || { echo "rvx.__version__ from $site: $answer"; exit 1; }
done
for prefix in "$stage/prefix" "$stage/deb/usr"; do
    for program in rvx rvx-cli rvx-print rvx-devsim; do
        answer=$("$prefix/bin/$program" --version) # no display needed
        [ "$answer" = "$program $version" ] || { echo "$program --version: $answer"; exit 1; }
    done
    result=$("$prefix/bin/rvx-cli" analyze samples/nsrdb_long_00-06min.rr)
    [[ "$result" == *'"ok": true'* ]] || { echo "rvx-cli analyze: $result"; exit 1; }
    # rvx-cli links the shared C and C++ libraries as the others do: their updates reach it.
    readelf -d "$prefix/bin/rvx-cli" | grep -q 'NEEDED.*libstdc++' ||
        { echo "$prefix/bin/rvx-cli is linked statically"; exit 1; }
done
"$stage/prefix/bin/rvx-cli" print --pdf "$stage/report.pdf" samples/nsrdb_long_00-06min.rr
[[ "$(pdftotext "$stage/report.pdf" -)" == *SDNN* ]] || { echo "report without SDNN"; exit 1; }
desktop-file-validate "$stage/deb/usr/share/applications/rvx.desktop"
metainfo=$(echo "$stage"/deb/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo"
grep -q "<release version=\"$version\"" "$metainfo"
echo "Installed and checked: $(basename "$deb"), $(stat -c %s "$deb") bytes"
