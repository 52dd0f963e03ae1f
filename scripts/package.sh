#!/usr/bin/env bash
# Builds the release preset and makes the Debian package build/release/tarvolo_*.deb, which
# installs with: sudo apt install ./build/release/tarvolo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarvolo tarvolo-tool simhost
(cd build/release && cpack -G DEB)
ls -1 build/release/tarvolo_*.deb
