#!/usr/bin/env bash
# Builds the release preset, generates the world-scale simulator folder once and prints the
# database build time against the I/O floor, side by side in one run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarvolo-tool build_bench

sim="build/release/bench-world"
if [ ! -f "$sim/scenery.cfg" ]; then
    rm -rf "$sim"
    build/release/tools/tarvolo-tool generate --preset world --seed 1 --out "$sim"
fi
echo "world: $(find "$sim" -type f | wc -l) files, $(du -sh "$sim" | cut -f1)"
TARVOLO_BENCH_SIM="$sim" build/release/bench/build_bench "$@"
