#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite, builds
# the Debian package and checks it unpacked (lintian, the desktop, AppStream
# and systemd files, a call answered by the unpacked programs), runs the
# suite again under the address and undefined-behaviour sanitizers, a short
# fuzzing run of every file loader, and the concurrency tests under the
# thread sanitizer.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build || exit 1

status=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT

run_preset() {
  local preset=$1 jobs
  jobs=$(nproc)
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null || return 1
  cmake --build --preset "$preset" -j "$jobs" || return 1
  echo "=== $preset: test"
  ctest --preset "$preset" -j "$jobs"
}

# Some kernels randomise the address space more than the thread sanitizer
# of this compiler can map; running it without randomisation avoids that.
norandom() {
  if setarch "$(uname -m)" -R true 2>/dev/null; then setarch "$(uname -m)" -R "$@"; else "$@"; fi
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

run_preset debug 2>&1 | tee -a "$log"; [ "${PIPESTATUS[0]}" -eq 0 ] || status=1

# The optimiser warns about things a debug build never sees; the run
# command builds this way, so it must stay clean. The same build is
# packaged, and the package unpacked and tried as a user would.
echo "=== release: build the programs and the package"
if deb=$(scripts/package.sh | tail -n 1) && [ -f "$deb" ]; then
  echo "=== package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
  tests/package/check_package.sh "$deb" || status=1
else
  status=1
fi
run_preset asan 2>&1 | tee -a "$log"; [ "${PIPESTATUS[0]}" -eq 0 ] || status=1

if [ -x tests/fuzz/run.sh ]; then
  echo "=== fuzz: every file loader, 10 s each"
  tests/fuzz/run.sh 10 || status=1
fi

norandom bash -c "$(declare -f run_preset); run_preset tsan" 2>&1 | tee -a "$log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1

# One line over all three runs, in the form every CI reader understands.
read -r passed failed < <(awk '/tests passed, [0-9]+ tests? failed out of/ {
    total += $NF; bad += $4 } END { print total - bad, bad + 0 }' "$log")
if [ $status -ne 0 ] && [ "${failed:-0}" -eq 0 ]; then failed=1; fi
echo "${passed:-0} passed, ${failed:-0} failed"
exit $status
