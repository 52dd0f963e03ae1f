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
# The LBM heuristics claim loopback TCP streams before DirectPlay's gets to see them.
query() {
    local into="$1"
    shift
    tshark -r "$work/join.pcapng" --enable-heuristic dplay_tcp --enable-heuristic dplay_udp \
        --disable-protocol lbmsrs --disable-protocol lbmpdm "$@" >"$work/$into" 2>"$work/tshark.err" ||
        { echo "tshark failed: $(cat "$work/tshark.err")"; exit 1; }
}
query frames -Y dplay
query malformed -Y "dplay && (_ws.malformed || _ws.expert.severity >= error)"
query commands -Y "dplay.command" -T fields -e dplay.command
frames=$(wc -l <"$work/frames")
malformed=$(wc -l <"$work/malformed")
commands=$(tr ',' '\n' <"$work/commands" | sort -u | tr '\n' ' ')
echo "DirectPlay frames: $frames, malformed: $malformed, commands seen: $commands"
# The whole join: ENUMSESSIONS(REPLY), REQUESTPLAYERID/REPLY, CREATEPLAYER, ADDFORWARDREQUEST,
# SUPERENUMPLAYERSREPLY.
for command in 0x0001 0x0002 0x0005 0x0007 0x0008 0x0013 0x0029; do
    case " $commands" in *" $command "*) ;; *) echo "no $command decoded"; exit 1 ;; esac
done
if [ "$malformed" -ne 0 ]; then
    query details -Y "dplay && (_ws.malformed || _ws.expert.severity >= error)" -V
    head -80 "$work/details"
    exit 1
fi
