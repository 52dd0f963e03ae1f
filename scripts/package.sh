#!/usr/bin/env bash
# Builds the release preset, makes the Debian package build/release/tarvolo_*.deb and checks
# it with lintian, its AppStream metadata with appstreamcli and its desktop entries with
# desktop-file-validate (installed with the other build dependencies when missing); an error
# fails the script. The package installs with: sudo apt install ./build/release/tarvolo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
missing=()
for package in lintian appstream desktop-file-utils; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
appstreamcli validate --pedantic --no-net packaging/org.tarvolo.tarvolo.metainfo.xml
desktop-file-validate packaging/org.tarvolo.tarvolo.desktop packaging/org.tarvolo.tarvolo.replay.desktop
cmake --preset release >/dev/null
cmake --build --preset release --target tarvolo tarvolo-tool simhost tarvolo_docs
rm -f build/release/tarvolo_*.deb
(cd build/release && cpack -G DEB)
ls -1 build/release/tarvolo_*.deb
lintian --fail-on error,warning build/release/tarvolo_*.deb
echo "lintian: no error, no warning"
