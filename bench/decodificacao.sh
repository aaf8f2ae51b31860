#!/usr/bin/env bash
# Decoding speed per format: our decoder (engine format, and native) against
# `ffmpeg -i FILE -f null -` on the same 5-minute files, whole processes timed
# in the same run. Prints the median of 5 runs of each.
set -euo pipefail
construcao=${1:-build-bench}
midia="$construcao/midia-bench"
nosso="$construcao/bench/ljsn-decodificar"
mkdir -p "$midia"
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
fonte="aevalsrc='0.3*sin(2*PI*(220+110*sin(2*PI*0.1*t))*t)+0.1*(random(0)-0.5)|0.3*sin(2*PI*(330+110*sin(2*PI*0.13*t))*t)+0.1*(random(1)-0.5)':s=44100:d=300"
[ -f "$midia/5min.mp3" ] || "${ff[@]}" -f lavfi -i "$fonte" -c:a libmp3lame -b:a 192k "$midia/5min.mp3"
[ -f "$midia/5min.wav" ] || "${ff[@]}" -i "$midia/5min.mp3" -c:a pcm_s16le "$midia/5min.wav"
[ -f "$midia/5min.wma" ] || "${ff[@]}" -i "$midia/5min.mp3" -c:a wmav2 -b:a 128k "$midia/5min.wma"

mediana() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cronometrar() {  # prints wall seconds of one run
    local inicio fim
    inicio=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    fim=$(date +%s.%N)
    awk -v a="$inicio" -v b="$fim" 'BEGIN { printf "%.4f\n", b - a }'
}

printf "%-10s %12s %12s %12s %8s\n" formato "ffmpeg (s)" "nosso (s)" "nativo (s)" "razao"
for f in mp3 wav wma; do
    a=$(for i in 1 2 3 4 5; do cronometrar ffmpeg -hide_banner -nostdin -i "$midia/5min.$f" -f null -; done | mediana)
    b=$(for i in 1 2 3 4 5; do cronometrar "$nosso" "$midia/5min.$f"; done | mediana)
    c=$(for i in 1 2 3 4 5; do cronometrar "$nosso" --nativo "$midia/5min.$f"; done | mediana)
    printf "%-10s %12s %12s %12s %8s\n" "$f" "$a" "$b" "$c" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", b / a }')"
done
echo "(razao = nosso no formato do motor / ffmpeg; abaixo de 1 = mais rapido)"
