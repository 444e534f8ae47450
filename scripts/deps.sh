#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tova needs.
# Idempotent and non-interactive: installs only what is missing.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  build-essential cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev python3 time
  # edges: property-list XML, audio files, ALSA sequencer
  libpugixml-dev libsndfile1-dev libasound2-dev sox
  # hosts: LV2 and JACK
  lv2-dev liblilv-dev lilv-utils sordi jalv jackd2 libjack-jackd2-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
echo "deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable real-time priority; answer for it.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
