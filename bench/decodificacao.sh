#!/usr/bin/env bash
# Decoding speed per format: our decoder (engine format, and native) against
# `ffmpeg -i FILE -f null -` on the same 5-minute files, whole processes timed
# in the same run. Prints the median of 5 runs of each.
set -euo pipefail
construcao=${1:-build-bench}
nosso="$construcao/bench/ljsn-decodificar"
source "$(dirname "$0")/lib/comum.sh"

printf "%-10s %12s %12s %12s %8s\n" formato "ffmpeg (s)" "nosso (s)" "nativo (s)" "razao"
for f in mp3 wav wma; do
    a=$(for i in 1 2 3 4 5; do cronometrar ffmpeg -hide_banner -nostdin -i "$midia/5min.$f" -f null -; done | mediana)
    b=$(for i in 1 2 3 4 5; do cronometrar "$nosso" "$midia/5min.$f"; done | mediana)
    c=$(for i in 1 2 3 4 5; do cronometrar "$nosso" --nativo "$midia/5min.$f"; done | mediana)
    printf "%-10s %12s %12s %12s %8s\n" "$f" "$a" "$b" "$c" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", b / a }')"
done
echo "(razao = nosso no formato do motor / ffmpeg; abaixo de 1 = mais rapido)"
