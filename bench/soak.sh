#!/usr/bin/env bash
# Real-time soak: the headless program on SDL's dummy driver for MINUTOS
# (default 60) with the phone polled every 200 ms, a skip every 20 s, a text
# spoken every minute and the loudness analyser kept busy by a folder of
# songs it has never measured. Samples resident memory, open descriptors and
# threads once a minute; reports the drift from minute 5 to the end and the
# engine's underruns. `make bench` runs it for 2 minutes unless SOAK_MINUTOS
# says otherwise.
set -euo pipefail
construcao=${1:-build-bench}
minutos=${SOAK_MINUTOS:-2}
source "$(dirname "$0")/lib/comum.sh"
dados=$(mktemp -d)
pid=
trap 'kill "$pid" $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$dados"' EXIT
mkdir -p "$dados/musicas"
# Songs of 40 s, each a different file to the analyser (hard links share the
# audio, not the path), so measuring goes on for most of the run.
curta="$midia/40s.mp3"
[ -f "$curta" ] || "${ffmpeg_quieto[@]}" -i "$midia/5min.mp3" -t 40 -c:a libmp3lame -b:a 192k "$curta"
cp "$curta" "$dados/musicas/0000.mp3"
for i in $(seq 1 $((minutos * 40))); do
    ln "$dados/musicas/0000.mp3" "$dados/musicas/$(printf '%04d' "$i").mp3"
done
porta=$((40000 + RANDOM % 20000))
printf '[Geral]\r\nPastaMusicas=%s\r\nTocarAoIniciar=1\r\nTransicaoSegundos=3\r\nVolumeAutomatico=1\r\n[Celular]\r\nAtivo=1\r\nPorta=%d\r\nPin=123456\r\n' \
    "$dados/musicas" "$porta" > "$dados/config.ini"
"$construcao/lojasonorante" --sem-janela --dados "$dados" --driver-audio dummy > "$dados/saida.txt" 2>&1 &
pid=$!
for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$porta/favicon.ico" && break
    sleep 0.1
done
api() {  # ACAO JSON
    curl -s -o /dev/null -m 5 -H 'X-Pin: 123456' -H 'Content-Type: application/json' \
        -d "$2" "http://127.0.0.1:$porta/api/$1" || echo "api $1 falhou" >> "$dados/erros.txt"
}
(while :; do api estado '{}'; sleep 0.2; done) &
(while :; do sleep 20; api comando '{"acao":"proxima"}'; done) &
(while :; do sleep 60; api comando '{"acao":"falar","texto":"Atenção, clientes: promoção no corredor três."}'; done) &

amostra() {  # minute rss_kb fds threads
    printf '%d %d %d %d\n' "$1" "$(awk '/VmRSS/ { print $2 }' "/proc/$pid/status")" \
        "$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 | wc -l)" \
        "$(awk '/Threads/ { print $2 }' "/proc/$pid/status")"
}
inicio=$(date +%s)
for m in $(seq 1 "$minutos"); do
    # Sampling at whole minutes of the run, whatever the polling costs.
    while [ $(($(date +%s) - inicio)) -lt $((m * 60)) ]; do sleep 1; done
    kill -0 "$pid" || { echo "o programa parou no minuto $m"; exit 1; }
    amostra "$m" >> "$dados/amostras.txt"
done
kill $(jobs -p | grep -v "^$pid\$") 2>/dev/null || true
kill -TERM "$pid"
wait "$pid" || true
pid=

printf "%6s %10s %6s %8s\n" minuto "RSS (MB)" fds threads
awk '{ printf "%6d %10.1f %6d %8d\n", $1, $2 / 1024, $3, $4 }' "$dados/amostras.txt"
desde=$((minutos >= 10 ? 5 : 1))
awk -v d="$desde" '$1 >= d { if (!n++) { r0 = $2; fmin = fmax = $3; tmin = tmax = $4 }
        r1 = $2; fmin = $3 < fmin ? $3 : fmin; fmax = $3 > fmax ? $3 : fmax
        tmin = $4 < tmin ? $4 : tmin; tmax = $4 > tmax ? $4 : tmax }
    END { printf "do minuto %d ao fim: RSS %+.2f MB, fds %d..%d, threads %d..%d\n",
        d, (r1 - r0) / 1024, fmin, fmax, tmin, tmax }' "$dados/amostras.txt"
echo "pulos: $(grep -c 'celular/controles rapidos: proxima' "$dados"/Logs/*.log | awk -F: '{ s += $NF } END { print s }')," \
    "falas: $(grep -c 'celular/controles rapidos: falar' "$dados"/Logs/*.log | awk -F: '{ s += $NF } END { print s }')," \
    "loudness medidos: $(grep -c '=' "$dados/volumes.ini" 2>/dev/null || echo 0)," \
    "pedidos que falharam: $(cat "$dados/erros.txt" 2>/dev/null | wc -l)"
# The engine's line counts underruns and clipped samples together.
faltas=$({ grep -ho '[0-9]* falta(s) de dados' "$dados"/Logs/*.log || true; } | awk '{ m = $1 > m ? $1 : m } END { print m + 0 }')
echo "faltas de dados no audio: $faltas"
[ "$faltas" -eq 0 ]
