#!/usr/bin/env bash
# Installs dependencies, then configures, builds and runs the whole test suite:
# release (every label), asan (all but slow), tsan (the concurrency tests) and
# the libFuzzer targets built with clang.  Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

jobs=$(nproc)
for preset in release asan tsan fuzz; do
  echo "=== $preset ===" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
echo "All tests passed." >&2
