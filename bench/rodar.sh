#!/usr/bin/env bash
# Runs every benchmark of a build folder: the Google Benchmark programs, then
# the whole-process comparisons against their peers.
set -euo pipefail
construcao=${1:-build-bench}
# One failing benchmark is reported and the others still run; the exit status
# says whether any failed.
falhas=()
for b in "$construcao"/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    rc=0
    "$b" --benchmark_min_time=0.2 || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "!! $(basename "$b") falhou (codigo $rc)"
        falhas+=("$(basename "$b")")
    fi
done
for s in bench/*.sh; do
    [ "$(basename "$s")" = rodar.sh ] && continue
    echo "== $(basename "$s")"
    rc=0
    "$s" "$construcao" || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "!! $(basename "$s") falhou (codigo $rc)"
        falhas+=("$(basename "$s")")
    fi
done
if [ ${#falhas[@]} -gt 0 ]; then
    echo "benchmarks que falharam: ${falhas[*]}"
    exit 1
fi
