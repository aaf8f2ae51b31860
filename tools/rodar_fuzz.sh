#!/usr/bin/env bash
# Runs each libFuzzer target of a fuzz build for a number of seconds, from a
# copy of its seed corpus (new inputs stay in the build folder). Stops at the
# first crash or sanitizer report and says where the input is.
# Usage: tools/rodar_fuzz.sh PASTA_DO_BUILD SEGUNDOS [ALVO...]
set -euo pipefail
construcao=$1
segundos=$2
shift 2
raiz=$(cd "$(dirname "$0")/.." && pwd)
alvos=("$@")
if [ ${#alvos[@]} -eq 0 ]; then
    for c in "$raiz"/tests/fuzz/corpus/*/; do
        alvos+=("$(basename "$c")")
    done
fi
for alvo in "${alvos[@]}"; do
    corpus="$construcao/corpus-$alvo"
    mkdir -p "$corpus" "$construcao/achados-$alvo"
    cp -n "$raiz/tests/fuzz/corpus/$alvo/"* "$corpus/" 2>/dev/null || true
    echo "== fuzz_$alvo por ${segundos}s"
    "$construcao/tests/fuzz_$alvo" -max_total_time="$segundos" -rss_limit_mb=4096 \
        -max_len=1048576 -print_final_stats=1 \
        -artifact_prefix="$construcao/achados-$alvo/" "$corpus"
done
