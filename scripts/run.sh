#!/usr/bin/env bash
# Installs what is missing, builds Vocerra (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake --preset release -DVOCERRA_BENCH=OFF >/dev/null
cmake --build --preset release --target vocerra
exec build/release/src/app/vocerra "$@"
