#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, ASan, UBSan), makes their seed corpora
# once (a generated simulator folder, its database, recorded-style sessions) and runs every
# target for SECONDS each (default 60), printing executions, coverage and crashes. Exits
# non-zero when a target crashed; the inputs that did are kept in build/fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/install-deps.sh
targets=(scenery_file airspace_file magdec scenery_cfg settings database messages chat directplay session recording)
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target tarvolo-tool fuzz_seeds "${targets[@]/#/fuzz_}"
bin=build/fuzz
corpus="$bin/corpus"
if [ ! -f "$corpus/.made" ]; then
    rm -rf "$corpus"
    mkdir -p "$corpus"/{scenery_file,airspace_file,magdec,scenery_cfg,settings,work}
    "$bin/tools/tarvolo-tool" generate --preset tiny --out "$corpus/sim" >/dev/null
    (cd "$corpus/work" && "$OLDPWD/$bin/tools/tarvolo-tool" build ../sim >/dev/null)
    find "$corpus/sim" -iname '*.bgl' ! -iname 'magdec.bgl' -exec cp {} "$corpus/scenery_file/" \;
    cp "$corpus"/scenery_file/* "$corpus/airspace_file/"
    find "$corpus/sim" -iname 'magdec.bgl' -exec cp {} "$corpus/magdec/" \;
    cp "$corpus/sim/scenery.cfg" "$corpus/scenery_cfg/"
    cp "$corpus/work/atc_settings.tcs" "$corpus/settings/"
    "$bin/fuzz/fuzz_seeds" "$corpus" "$corpus/work"
    touch "$corpus/.made"
fi
mkdir -p "$bin/crashes"
failed=0
printf '%-14s %12s %8s %8s\n' target executions coverage crashes
for target in "${targets[@]}"; do
    mkdir -p "$bin/found/$target" "$corpus/$target"
    log="$bin/crashes/$target.log"
    status=0
    "$bin/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$bin/crashes/$target-" "$bin/found/$target" "$corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)
    crashes=$(find "$bin/crashes" -name "$target-*" | wc -l)
    printf '%-14s %12s %8s %8s\n' "$target" "${runs:-0}" "${cov:-0}" "$crashes"
    if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
        failed=1
        tail -30 "$log"
    fi
done
exit "$failed"
