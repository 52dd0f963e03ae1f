#!/usr/bin/env bash
# Builds the release preset, generates the world-sized simulator folder once and prints the
# figures of the database build and the Airport Area, each beside its floor in one run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarvolo-tool tarvolo_bench

sim="build/release/bench-world"
if [ ! -f "$sim/scenery.cfg" ]; then
    rm -rf "$sim"
    build/release/tools/tarvolo-tool generate --preset world --seed 1 --out "$sim"
fi
echo "world: $(find "$sim" -type f | wc -l) files, $(du -sh "$sim" | cut -f1)"
TARVOLO_BENCH_SIM="$sim" build/release/bench/tarvolo_bench "$@"
