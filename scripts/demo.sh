#!/usr/bin/env bash
# Installs what is missing, builds Tarvolo, generates the demo simulator folder and starts the
# program in a fresh demo working directory, so the first start goes through setup and the
# database build for real.
set -euo pipefail
cd "$(dirname "$0")/.."
top="$PWD"

bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --target tarvolo tarvolo-tool

sim="$top/demo/sim"
if [ ! -f "$sim/scenery.cfg" ]; then
    rm -rf "$sim"
    build/release/tools/tarvolo-tool generate --preset demo --out "$sim"
fi
work="$top/demo/work"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cat <<TEXT
Tarvolo starts in $work (its settings and database files go there).
At "Completing setup - settings", choose or type the simulator folder:
    $sim
TEXT
exec "$top/build/release/app/tarvolo"
