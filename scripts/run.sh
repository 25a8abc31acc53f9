#!/usr/bin/env bash
# Installs what is missing, builds Vocerra (release) and starts it: the
# windowed program, or without windows when there is no display (or with
# --headless), answering on the simulated line when no other line is there;
# its program folder is under the user's data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake --preset release -DVOCERRA_BENCH=OFF >/dev/null
cmake --build --preset release --target vocerra vocerra-call vocerra-sip-setup
exec build/release/src/app/vocerra "$@"
