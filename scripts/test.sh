#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite, the
# suite again under the address and undefined-behaviour sanitizers, and the
# concurrency tests under the thread sanitizer.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build || exit 1


status=0

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

run_preset debug || status=1
run_preset asan || status=1
norandom bash -c "$(declare -f run_preset); run_preset tsan" || status=1

if [ $status -eq 0 ]; then echo "=== all test runs passed"; else echo "=== some test runs FAILED"; fi
exit $status
