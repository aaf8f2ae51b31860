#!/usr/bin/env bash
# Durations of 2 000 MP3 files: DuracaoMidia in one process against one
# ffprobe call per file (timed on 200 files, given in files per second).
set -euo pipefail
construcao=${1:-build-bench}
pasta="$construcao/mp3-bench"
if [ ! -f "$pasta/.pronta" ]; then
    rm -rf "$pasta"
    mkdir -p "$pasta"
    ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
        -i "aevalsrc='0.3*sin(2*PI*440*t)+0.05*(random(0)-0.5)':s=44100:d=180" \
        -ac 2 -c:a libmp3lame -q:a 4 "$pasta/base.mp3"
    for i in $(seq 1 2000); do cp "$pasta/base.mp3" "$pasta/faixa$i.mp3"; done
    rm "$pasta/base.mp3"
    touch "$pasta/.pronta"
fi
mapfile -t arquivos < <(find "$pasta" -name '*.mp3' | sort)
echo "nosso:   $("$construcao/bench/ljsn-duracoes" "${arquivos[@]}")"
inicio=$(date +%s.%N)
for f in "${arquivos[@]:0:200}"; do
    ffprobe -v error -show_entries format=duration -of csv=p=0 "$f" >/dev/null
done
fim=$(date +%s.%N)
awk -v a="$inicio" -v b="$fim" 'BEGIN { printf "ffprobe: 200 arquivos em %.3f s: %.0f arquivos/s\n", b - a, 200 / (b - a) }'
