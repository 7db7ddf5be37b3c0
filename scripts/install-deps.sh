#!/usr/bin/env bash
# Installs the Debian packages that building and testing Vesk needs, only those that are missing.
#   install-deps.sh          everything the test command needs
#   install-deps.sh --run    only what building and starting the programs needs (no test tools)
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev
    libssl-dev libjpeg62-turbo-dev libicu-dev
    # The history store.
    libsqlite3-dev
)
if [[ "${1:-}" == "--run" ]]; then
    packages+=(qt6-qpa-plugins)
else
    packages+=(
        libgtest-dev libgmock-dev libbenchmark-dev
        clang libclang-rt-dev clang-format clang-tidy
        # The install test checks the installed manual pages, desktop entry and AppStream file with these.
        man-db desktop-file-utils appstream
        # The JSON report test validates vesk-query --json output against its schema with this.
        python3-jsonschema
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
