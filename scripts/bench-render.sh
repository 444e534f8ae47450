#!/usr/bin/env bash
# Renders 60 s at 48 kHz in 256-frame calls through tova-render: a bar recorded onto key 36,
# then 16 of its transposed copies held (16 voices, none at a shift ratio of 1), "Pitch" 3,
# the reverb and play-thru on. Prints the real-time factor of every run, their median and
# the largest peak memory (maximum resident set size from /usr/bin/time -v).
#
#   scripts/bench-render.sh [RUNS]     (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

cmake --preset release >/dev/null
cmake --build --preset release --target tova-render -j "$(nproc)" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tools/make_examples.py --bench "$work"
args=()
while read -r option value; do
  [[ -z "$option" || "$option" == \#* ]] && continue
  args+=("$option" "$value")
done <"$work/bench.args"

factors=()
peak_kb=0
for ((run = 1; run <= runs; run++)); do
  /usr/bin/time -v -o "$work/time" build/release/src/hosts/render/tova-render --quiet \
    --in "$work/bench-input.wav" --midi "$work/bench.mid" --out "$work/out.wav" "${args[@]}" \
    >"$work/summary"
  # The summary ends "...; 123.4x real time".
  factor=$(grep -o '[0-9.]*x real time' "$work/summary" | cut -dx -f1)
  kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time")
  echo "run $run: ${factor}x real time, peak memory $((kb / 1024)) MiB"
  factors+=("$factor")
  ((kb > peak_kb)) && peak_kb=$kb
done
median=$(printf '%s\n' "${factors[@]}" | sort -g | awk '{v[NR] = $1} END {
  print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "median of $runs runs: ${median}x real time; peak memory $((peak_kb / 1024)) MiB ($peak_kb kB)"
