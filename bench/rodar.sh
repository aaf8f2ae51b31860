#!/usr/bin/env bash
# Runs every benchmark of a build folder: the Google Benchmark programs, then
# the whole-process comparisons against their peers.
set -euo pipefail
construcao=${1:-build-bench}
for b in "$construcao"/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_min_time=0.2
done
for s in bench/*.sh; do
    [ "$(basename "$s")" = rodar.sh ] && continue
    echo "== $(basename "$s")"
    "$s" "$construcao"
done
