#!/usr/bin/env bash
# Builds the Debian package from the release build and prints its path,
# build/release/package/vocerra_<version>_amd64.deb (everything else goes to
# standard error). Install it with
#   sudo apt install ./build/release/package/vocerra_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
{
  scripts/deps.sh build
  cmake --preset release -DVOCERRA_BENCH=OFF >/dev/null
  cmake --build --preset release --target vocerra vocerra-call vocerra-sip-setup vocerra_documents
} >&2
out=$PWD/build/release/package
rm -f "$out"/vocerra_*.deb
cpack --config build/release/CPackConfig.cmake -B "$out" >&2
ls "$out"/vocerra_*.deb
