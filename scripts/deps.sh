#!/usr/bin/env bash
# Installs the Debian packages the project needs that this machine lacks. Sourced by run.sh and
# test.sh; safe to run again (it installs nothing when everything is there).
set -euo pipefail

RVX_PACKAGES=(
    cmake ninja-build g++ pkg-config clang-format git
    qt6-base-dev libqt6opengl6-dev qt6-charts-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 poppler-utils fonts-dejavu-core xvfb xauth qt6-translations-l10n
    g++-mingw-w64-x86-64-posix googletest wine64
    dpkg-dev file desktop-file-utils appstream lintian
    clang-14 libclang-rt-14-dev
    pybind11-dev python3-dev python3-numpy python3-pytest python3-distributed
    libedf-dev
)

rvx_missing_packages() {
    local missing=()
    for p in "${RVX_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]:-}"
}

rvx_install_deps() {
    local missing
    missing=$(rvx_missing_packages)
    if [ -z "$missing" ]; then
        return 0
    fi
    echo "Installing missing packages: $missing"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -q
    # shellcheck disable=SC2086
    $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends $missing
}
