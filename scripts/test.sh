#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; checks the formatting; then
# builds everything, the window and its tests included, with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the tests again under them; runs each fuzz target (clang's
# libFuzzer) for a short while; cross-compiles the core and rvx-cli for Windows with MinGW-w64;
# last builds the installed programs in Release, makes the Debian package and checks an
# installation of it. The builds are the presets of CMakePresets.json and fuzz/build.sh.
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

echo "== Windows cross-build of the core and rvx-cli (MinGW-w64)"
cmake --preset windows
cmake --build --preset windows --parallel "$jobs"
exe=build-windows/bin/rvx-cli.exe
test -f "$exe"
# Linked statically: it needs no DLL beyond those of Windows itself.
if x86_64-w64-mingw32-objdump -p "$exe" | grep -iE "DLL Name: (libstdc|libgcc|libwinpthread)"; then
    echo "$exe needs a MinGW runtime DLL" >&2
    exit 1
fi
if command -v wine >/dev/null 2>&1; then
    wine "$exe" analyze --format text samples/nsrdb_long_00-06min.rr
else
    echo "wine is not installed: $exe is built, not run"
fi

echo "== Release build, Debian package and an installation"
cmake --preset release
cmake --build --preset release --parallel "$jobs" --target rvx rvx-cli rvx-print rvx-devsim
rm -f build-release/rvx_*.deb
(cd build-release && cpack -G DEB)
deb=$(echo build-release/rvx_*.deb)
dpkg-deb -I "$deb"
version=$(dpkg-deb -f "$deb" Version)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install build-release --prefix "$stage/prefix" >/dev/null
dpkg-deb -x "$deb" "$stage/deb"
for prefix in "$stage/prefix" "$stage/deb/usr"; do
    for program in rvx rvx-cli rvx-print rvx-devsim; do
        answer=$("$prefix/bin/$program" --version) # no display needed
        [ "$answer" = "$program $version" ] || { echo "$program --version: $answer"; exit 1; }
    done
    result=$("$prefix/bin/rvx-cli" analyze samples/nsrdb_long_00-06min.rr)
    [[ "$result" == *'"ok": true'* ]] || { echo "rvx-cli analyze: $result"; exit 1; }
done
"$stage/prefix/bin/rvx-cli" print --pdf "$stage/report.pdf" samples/nsrdb_long_00-06min.rr
[[ "$(pdftotext "$stage/report.pdf" -)" == *SDNN* ]] || { echo "report without SDNN"; exit 1; }
desktop-file-validate "$stage/deb/usr/share/applications/rvx.desktop"
metainfo=$(echo "$stage"/deb/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo"
grep -q "<release version=\"$version\"" "$metainfo"
echo "Installed and checked: $(basename "$deb"), $(stat -c %s "$deb") bytes"
