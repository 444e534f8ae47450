#!/usr/bin/env bash
# A headless jalv session against a JACK dummy server of its own: loads the plug-in, feeds
# it a sine from jack_simple_client and records bus 1 for two seconds, which must not be
# silent (the default "Play Thru" mode passes the input while nothing plays).
# Usage: jalv_session.sh BUNDLE_PARENT_DIR PLUGIN_URI
#
# The server's name comes from the same few locked slots as the tova-jack tests use: JACK
# keeps eight server entries per user and frees a dead server's entry only when a server of
# the same name starts again, so a fresh name per run would let killed runs fill the table.
# Everything started here is stopped by its own process id, on success and on failure.
set -euo pipefail
parent=$(realpath "$1") # lilv takes only absolute folders
uri=$2
work=$(mktemp -d)
pids=()
jackd_pid=
cleanup() {
  # Clients first, newest first, then the server; each by the PID this script started.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  if [[ -n $jackd_pid ]]; then
    # Stopped cleanly the server gives its entry back; only a server that hangs is killed.
    kill -TERM "$jackd_pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$jackd_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$jackd_pid" 2>/dev/null || true
    wait "$jackd_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

# The first free slot of four, waiting up to two minutes for one.
slot=
for _ in $(seq 600); do
  for n in 0 1 2 3; do
    exec {lock}>"/tmp/tova-jack-test-$(id -u)-$n.lock"
    if flock -n "$lock"; then
      slot=$n
      break 2
    fi
    exec {lock}>&-
  done
  sleep 0.2
done
[[ -n $slot ]] || { echo "no free JACK server slot" >&2; exit 1; }
export JACK_DEFAULT_SERVER="tova-test-$slot"
export JACK_NO_START_SERVER=1

# The server alone inherits the slot's lock: should this script be killed outright, the slot
# stays taken for as long as its server lives.
JACK_NO_AUDIO_RESERVATION=1 jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 \
  -p 256 >"$work/jackd.log" 2>&1 &
jackd_pid=$!
exec {lock}>&-
jack_wait -s "$JACK_DEFAULT_SERVER" -w -t 10 >/dev/null 2>&1 ||
  { cat "$work/jackd.log" >&2; echo "jackd did not start" >&2; exit 1; }

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
jack_lsp | grep -q '^tova:out1_l$' || { cat "$work/jalv.log" >&2; echo "jalv did not start" >&2; exit 1; }

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
