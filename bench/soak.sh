#!/usr/bin/env bash
# The soak: MINUTES (default 30) of a session's life per row, every process built with the
# address and undefined-behaviour sanitizers: simhost over TCP and over the reliable protocol
# with 10 % of its datagrams lost, resident peers with 15-second outages, peers joining and
# leaving at random (two at once now and then, some vanishing), a stranger on 127.0.0.2 forging
# frames and datagrams, and the host's own departure with migration at the end. Both rows run
# side by side; a row per line, then each row's figures as JSON. Exit status 0 when every row
# met its targets: no sanitizer report, no crash, no guaranteed message lost, duplicated or out
# of order, the memory of the long-lived processes at the end within 10 % of its size after
# the first minute.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
bash scripts/install-deps.sh
cmake --preset asan-ubsan >/dev/null
cmake --build --preset asan-ubsan --target tarvolo-soak simhost
# AddressSanitizer keeps freed memory in a quarantine of up to 256 MiB, which a half-hour of
# churn fills slowly: its growth would hide the program's own. A 16 MiB quarantine still
# catches a use after free of anything freed in the last moments, and fills in the first minute.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=16
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
logs=build/asan-ubsan/soak-logs
rm -rf "$logs"
mkdir -p "$logs"
tool=build/asan-ubsan/tools/tarvolo-soak
host=build/asan-ubsan/tools/simhost
status=0
"$tool" drive --simhost "$host" --row tcp --seconds $((minutes * 60)) --seed 1 --logs "$logs" \
    >"$logs/tcp.json" 2>"$logs/tcp.txt" &
tcp=$!
"$tool" drive --simhost "$host" --row reliable --seconds $((minutes * 60)) --seed 2 --logs "$logs" \
    >"$logs/reliable.json" 2>"$logs/reliable.txt" &
reliable=$!
wait $tcp || status=1
wait $reliable || status=1
cat "$logs/tcp.txt" "$logs/reliable.txt"
cat "$logs/tcp.json" "$logs/reliable.json"
exit $status
