#!/bin/bash
# A join and some traffic on the loopback, captured and read back by Wireshark's DirectPlay
# dissector: every DirectPlay frame must decode without a malformed packet. Skipped (77)
# where tshark is missing or the loopback cannot be captured.
set -u
traffic="$1"   # the simhost test executable, whose end-to-end test makes the traffic
command -v tshark >/dev/null && command -v dumpcap >/dev/null || { echo "tshark not installed"; exit 77; }
work=$(mktemp -d)
trap 'kill $capture 2>/dev/null; rm -rf "$work"' EXIT
dumpcap -q -i lo -f "tcp or udp" -w "$work/join.pcapng" >"$work/dumpcap.log" 2>&1 &
capture=$!
for _ in $(seq 50); do [ -s "$work/join.pcapng" ] && break; sleep 0.1; done
if ! kill -0 $capture 2>/dev/null || [ ! -s "$work/join.pcapng" ]; then
    echo "cannot capture on the loopback: $(cat "$work/dumpcap.log")"
    exit 77
fi
"$traffic" --gtest_filter=SimHost.JoinerIsAcceptedAndHearsTheTraffic >"$work/traffic.log" 2>&1 || { cat "$work/traffic.log"; exit 1; }
sleep 1
kill -INT $capture; wait $capture 2>/dev/null
read_capture() { tshark -r "$work/join.pcapng" --enable-heuristic dplay_tcp --enable-heuristic dplay_udp "$@" 2>/dev/null; }
frames=$(read_capture -Y dplay | wc -l)
malformed=$(read_capture -Y "dplay && _ws.malformed" | wc -l)
commands=$(read_capture -Y "dplay.command" -T fields -e dplay.command | tr ',' '\n' | sort -u | tr '\n' ' ')
echo "DirectPlay frames: $frames, malformed: $malformed, commands seen: $commands"
[ "$frames" -gt 0 ] || { echo "no DirectPlay frame recognised"; exit 1; }
if [ "$malformed" -ne 0 ]; then read_capture -Y "dplay && _ws.malformed" -V | head -80; exit 1; fi
