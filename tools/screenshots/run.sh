#!/bin/sh
# Renders every screenshot scene under a virtual X server.
# Usage: tools/screenshots/run.sh [output folder] [scene name...]
# The program is taken from $VOCERRA_SCREENSHOTS, else from the debug build.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$root/build/screenshots}
[ $# -gt 0 ] && shift
bin=${VOCERRA_SCREENSHOTS:-$root/build/debug/tools/screenshots/vocerra-screenshots}
if [ ! -x "$bin" ]; then
  echo "run.sh: $bin is not built; run: cmake --build --preset debug --target vocerra-screenshots" >&2
  exit 1
fi
mkdir -p "$out"
QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1600x1200x24" "$bin" "$out" "$@"
