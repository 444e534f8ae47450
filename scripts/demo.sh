#!/usr/bin/env bash
# Installs what is missing, builds tova-render and renders the bundled example to
# out/demo.wav: a two-bar phrase (examples/demo-phrase.wav) played into Tova with the MIDI
# file examples/demo.mid and the options in examples/demo.args. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

cmake --preset release >/dev/null
cmake --build --preset release --target tova-render -j "$(nproc)"

# demo.args: one option and its value per line; '#' starts a comment line.
args=()
while read -r option value; do
  [[ -z "$option" || "$option" == \#* ]] && continue
  args+=("$option" "$value")
done <examples/demo.args

mkdir -p out
build/release/src/hosts/render/tova-render --in examples/demo-phrase.wav \
  --midi examples/demo.mid --out out/demo.wav --pcm16 "${args[@]}"
echo "The demo is in $(pwd)/out/demo.wav"
