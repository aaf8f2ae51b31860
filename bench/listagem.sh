#!/usr/bin/env bash
# Listing a music folder of 20 000 files in 200 nested folders: the
# programme's ListarArquivos against `find DIR -type f | sort`, median of 5.
set -euo pipefail
construcao=${1:-build-bench}
arvore="$construcao/arvore-bench"
if [ ! -f "$arvore/.pronta" ]; then
    rm -rf "$arvore"
    for i in $(seq 0 199); do
        d="$arvore/artista $((i % 20))/album $i/disco $((i % 3))"
        mkdir -p "$d"
        for j in $(seq 0 99); do : > "$d/faixa $j - Canção $i.mp3"; done
    done
    touch "$arvore/.pronta"
fi
source "$(dirname "$0")/lib/comum.sh"
a=$(for i in 1 2 3 4 5; do cronometrar eval "find '$arvore' -type f | sort"; done | mediana)
b=$(for i in 1 2 3 4 5; do cronometrar "$construcao/bench/ljsn-listar" "$arvore"; done | mediana)
echo "find | sort: $a s   ListarArquivos: $b s   razao: $(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", b / a }')"
