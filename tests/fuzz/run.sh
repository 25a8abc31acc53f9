#!/bin/sh
# Builds every tests/fuzz/fuzz_*.cpp with clang and libFuzzer (address and
# undefined-behaviour sanitizers) and runs each for the given seconds
# (default 60) from its seed corpus tests/fuzz/corpus/<name>/ (or the name
# without "fuzz_"). The corpus is
# copied to a temporary folder first, so runs never add files to the
# repository. Fails on a crash, a leak, a hang (-timeout) or a build error;
# reproducers are kept in <build>/artifacts/<name>/ and shown in hex.
#
#   tests/fuzz/run.sh [seconds]
# Environment: FUZZ_BUILD (build folder, default build/fuzz), FUZZ_JOBS
# (parallel compile jobs, default 2), FUZZ_ONLY (run only this target).
set -eu

seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${FUZZ_BUILD:-$root/build/fuzz}
jobs=${FUZZ_JOBS:-2}

generator=""
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"
if [ ! -f "$build/CMakeCache.txt" ]; then
    # shellcheck disable=SC2086
    CC=clang CXX=clang++ cmake -S "$here" -B "$build" $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$jobs"

work=$(mktemp -d "${TMPDIR:-/tmp}/vocerra-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

failed=""
for source in "$here"/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    if [ -n "${FUZZ_ONLY:-}" ] && [ "$name" != "$FUZZ_ONLY" ]; then continue; fi
    corpus="$work/$name/corpus"
    artifacts="$build/artifacts/$name"
    mkdir -p "$corpus" "$artifacts"
    # The seeds are in corpus/<name>/ or corpus/<name without "fuzz_">/.
    for seeds in "$here/corpus/$name" "$here/corpus/${name#fuzz_}"; do
        if [ -d "$seeds" ]; then cp -R "$seeds/." "$corpus/"; fi
    done
    echo "== $name: ${seconds}s from $(ls "$corpus" | wc -l) seed files"
    if "$build/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" \
        >"$work/$name/log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$work/$name/log" || true
    else
        cat "$work/$name/log"
        for artifact in "$artifacts"/*; do
            [ -f "$artifact" ] || continue
            echo "-- $name reproducer $artifact (hex):"
            od -A x -t x1z "$artifact" | head -n 40
        done
        failed="$failed $name"
    fi
done

if [ -n "$failed" ]; then
    echo "fuzzing failed:$failed"
    exit 1
fi
echo "fuzzing passed"
