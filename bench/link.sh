#!/usr/bin/env bash
# simhost with 40 aircraft at 10 positions a second and one joiner on the loopback, once over
# TCP and once in the reliable protocol through 5 % datagram loss: prints delivery, latency
# and CPU of both rows side by side, beside their targets. Optional argument: seconds a row.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target simhost tarvolo_link_bench
build/release/bench/tarvolo_link_bench build/release/tools/simhost "${1:-10}"
