#!/usr/bin/env bash
# Loudness of a 5-minute stereo MP3 and of the same audio as WAV: our
# measurement (the program's --medir-loudness, a whole process) against
# `ffmpeg -af ebur128` (a whole process) and against libebur128 fed by our
# decoder (same process). Then playback on the dummy driver while the
# analyser works through 200 files: no underrun allowed.
set -euo pipefail
construcao=${1:-build-bench}
source "$(dirname "$0")/lib/comum.sh"
[ -f "$midia/2min.mp3" ] || "${ffmpeg_quieto[@]}" -f lavfi \
    -i "aevalsrc='0.3*sin(2*PI*440*t)+0.05*(random(0)-0.5)':s=44100:d=120" -ac 2 \
    -c:a libmp3lame -b:a 160k "$midia/2min.mp3"
for f in mp3 wav; do
    arq="$midia/5min.$f"
    nosso=$(for i in 1 2 3; do cronometrar "$construcao/lojasonorante" --medir-loudness "$arq"; done | mediana)
    ff=$(for i in 1 2 3; do cronometrar ffmpeg -hide_banner -nostats -i "$arq" -af ebur128=framelog=verbose -f null -; done | mediana)
    valor=$("$construcao/lojasonorante" --medir-loudness "$arq" | cut -f1)
    valor_ff=$(ffmpeg -hide_banner -nostats -i "$arq" -af ebur128=framelog=verbose -f null - 2>&1 | awk '/I:/ { v = $2 } END { print v }')
    echo "$f: nosso $valor LUFS em $nosso s | ffmpeg ebur128 $valor_ff LUFS em $ff s | razao $(awk -v a="$ff" -v b="$nosso" 'BEGIN { printf "%.2f", a / b }')x"
    "$construcao/bench/ljsn-medir" "$arq"
done

echo "== reproducao com o analisador medindo 200 arquivos"
dados=$(mktemp -d)
trap 'rm -rf "$dados"' EXIT
mkdir -p "$dados/musicas"
for i in $(seq -w 1 200); do cp "$midia/2min.mp3" "$dados/musicas/faixa $i.mp3"; done
printf '[Geral]\r\nPastaMusicas=%s\r\nTocarAoIniciar=1\r\nTransicaoSegundos=8\r\nTransicaoPadrao8=1\r\nVolumeAutomatico=1\r\n' \
    "$dados/musicas" > "$dados/config.ini"
inicio=$(date +%s)
"$construcao/lojasonorante" --sem-janela --dados "$dados" --driver-audio dummy >/dev/null 2>&1 &
pid=$!
# Done when the analyser has saved all 200 measurements.
while [ "$(grep -c '|' "$dados/volumes.ini" 2>/dev/null || echo 0)" -lt 200 ] && [ $(( $(date +%s) - inicio )) -lt 600 ]; do
    sleep 1
done
kill -TERM "$pid"
wait "$pid" || true
echo "analisador: $(grep -c '|' "$dados/volumes.ini") arquivos medidos em $(( $(date +%s) - inicio )) s enquanto tocava"
sem_faltas "$dados"
echo "audio: nenhuma falta de dados"
