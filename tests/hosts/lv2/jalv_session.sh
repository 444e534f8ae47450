#!/usr/bin/env bash
# A headless jalv session against a JACK dummy server of its own: loads the plug-in, feeds
# it a sine from jack_simple_client and records bus 1 for two seconds, which must not be
# silent (the default "Play Thru" mode passes the input while nothing plays).
# Usage: jalv_session.sh BUNDLE_PARENT_DIR PLUGIN_URI
set -euo pipefail
parent=$1
uri=$2
work=$(mktemp -d)
export JACK_DEFAULT_SERVER="tova-lv2-$$"
export JACK_NO_START_SERVER=1
pids=()
cleanup() {
  # Clients first, then the server; each by the PID this script started.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
jack_wait -w -t 10 >/dev/null 2>&1

# jalv's console quits at the end of its input: keep it open.
mkfifo "$work/stdin"
sleep 3600 >"$work/stdin" &
pids+=($!)
LV2_PATH=$parent jalv -n tova "$uri" <"$work/stdin" >"$work/jalv.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  jack_lsp 2>/dev/null | grep -q '^tova:out1_l$' && break
  sleep 0.1
done
jack_lsp | grep -q '^tova:out1_l$' || { cat "$work/jalv.log"; echo "jalv did not start" >&2; exit 1; }

jack_simple_client simple "$JACK_DEFAULT_SERVER" >"$work/simple.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  jack_lsp 2>/dev/null | grep -q '^simple:output1$' && break
  sleep 0.1
done
jack_connect simple:output1 tova:in_l
jack_connect simple:output2 tova:in_r
jack_rec -f "$work/out.wav" -d 2 -b 16 tova:out1_l tova:out1_r >/dev/null 2>&1

peak=$(sox "$work/out.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
echo "peak amplitude of bus 1: $peak"
awk -v p="$peak" 'BEGIN { exit !(p > 0.05) }'
