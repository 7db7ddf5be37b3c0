#!/usr/bin/env bash
# Builds the Debian package (Release, prefix /usr, stripped) in build/deb and checks it with lintian:
#   scripts/build-deb.sh        then: sudo apt install ./build/deb/vesk_<version>_<arch>.deb
# Exits non-zero when the build fails or lintian reports an error.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# dpkg-shlibdeps computes the package's dependencies; lintian checks the result.
missing=()
for p in dpkg-dev lintian; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build/deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_BENCH=OFF
cmake --build build/deb --target vesk vesk-query vesk-defs vesk_definition_files vesk_compressed_docs
(cd build/deb && cpack -G DEB)
deb=$(ls build/deb/vesk_*.deb)
lintian --fail-on error "$deb"
echo "$deb"
