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
mediana() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cronometrar() {
    local inicio fim
    inicio=$(date +%s.%N)
    eval "$1" >/dev/null 2>&1
    fim=$(date +%s.%N)
    awk -v a="$inicio" -v b="$fim" 'BEGIN { printf "%.4f\n", b - a }'
}
a=$(for i in 1 2 3 4 5; do cronometrar "find '$arvore' -type f | sort"; done | mediana)
b=$(for i in 1 2 3 4 5; do cronometrar "'$construcao/bench/ljsn-listar' '$arvore'"; done | mediana)
echo "find | sort: $a s   ListarArquivos: $b s   razao: $(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", b / a }')"
