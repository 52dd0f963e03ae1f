#!/usr/bin/env bash
# simhost with 40 aircraft at 10 positions a second and one joiner on the loopback: prints
# delivery, latency and CPU beside their targets. Optional argument: seconds to measure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target simhost tarvolo_link_bench
build/release/bench/tarvolo_link_bench build/release/tools/simhost "${1:-10}"
