#!/usr/bin/env bash
# Load on the phone API while the program plays music in real time on the
# dummy driver: wrk against /api/estado with the PIN (each request hops to the
# main thread), and against a fixed route that needs no hop, in the same run.
# The engine's underrun counter must stay at 0 (any underrun is logged).
# wrk connects from one address, and the server serves at most 8 connections
# per address; a reconnect can arrive before the server has closed the
# connection it replaces, so stay well below that or refusals are measured.
set -euo pipefail
construcao=${1:-build-bench}
segundos=${SEGUNDOS_CARGA:-15}
command -v wrk >/dev/null || { echo "wrk nao instalado"; exit 1; }
source "$(dirname "$0")/lib/comum.sh"
dados=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$dados"' EXIT
mkdir -p "$dados/musicas"
cp "$midia/5min.mp3" "$dados/musicas/musica.mp3"
porta=$((40000 + RANDOM % 20000))
printf '[Geral]\r\nPastaMusicas=%s\r\nTocarAoIniciar=1\r\nTransicaoSegundos=0\r\nTransicaoPadrao8=1\r\nVolumeAutomatico=0\r\n[Celular]\r\nAtivo=1\r\nPorta=%d\r\nPin=123456\r\n' \
    "$dados/musicas" "$porta" > "$dados/config.ini"
"$construcao/lojasonorante" --sem-janela --dados "$dados" --driver-audio dummy > "$dados/saida.txt" 2>&1 &
pid=$!
for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$porta/favicon.ico" && break
    sleep 0.1
done
cat > "$dados/estado.lua" <<'LUA'
wrk.method = "POST"
wrk.body = "{}"
wrk.headers["X-Pin"] = "123456"
wrk.headers["Content-Type"] = "application/json"
LUA
echo "== /api/estado (passa pela thread principal)"
wrk -t2 -c4 -d"${segundos}s" --latency -s "$dados/estado.lua" "http://127.0.0.1:$porta/api/estado" |
    grep -E "Requests/sec|99%|Non-2xx|Socket errors|requests in"
echo "== /icone-192.png (rota fixa, sem passar pela thread principal)"
wrk -t2 -c4 -d"${segundos}s" --latency "http://127.0.0.1:$porta/icone-192.png" |
    grep -E "Requests/sec|99%|Non-2xx|Socket errors|requests in"
kill -TERM "$pid"
wait "$pid" || true
sem_faltas "$dados"
echo "audio: nenhuma falta de dados durante a carga"
