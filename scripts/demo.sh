#!/usr/bin/env bash
# Installs what is missing, builds Tarvolo, generates the demo simulator folder and starts the
# program in a fresh demo working directory, so the first start goes through setup and the
# database build for real.
set -euo pipefail
cd "$(dirname "$0")/.."
top="$PWD"

bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --target tarvolo tarvolo-tool simhost

sim="$top/demo/sim"
if [ ! -f "$sim/scenery.cfg" ]; then
    rm -rf "$sim"
    build/release/tools/tarvolo-tool generate --preset demo --out "$sim"
fi
work="$top/demo/work"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
# A session host with traffic around Tarvolo International (KTVO), as the simulator would run:
# its runway 16L/34R runs true 180 from the threshold north of the field, 500 m east of it.
# An approach controller (APP) works the arrivals and hands them to a tower that coordinates.
"$top/build/release/tools/simhost" --name "Tarvolo Demo" --aircraft 12 --rate 2 \
    --lat 47.4653 --lon -122.3024 --elev 430 --runway-heading 180.2 --controller APP:119.20 \
    --chat "Tower, request taxi" --chat "Ready for departure" >"$top/demo/simhost.log" 2>&1 &
simhost=$!
# Stopping the demo, however it stops, stops the session host.
trap 'kill $simhost 2>/dev/null' EXIT
trap 'exit 130' INT TERM
cat <<TEXT
Tarvolo starts in $work (its settings and database files go there).
At "Completing setup - settings", choose or type the simulator folder:
    $sim
A session host with 12 aircraft runs on this machine (log: $top/demo/simhost.log); to join it,
choose "Internet TCP/IP Connection For DirectPlay" and give 127.0.0.1 as the host.
Its approach controller (APP) hands arrivals over 10 nm out to a tower that coordinates:
in Options, tick "Coordinate with Other Controllers" and give a position ending in TWR
(e.g. TVO_TWR) before joining.
TEXT
"$top/build/release/app/tarvolo"
