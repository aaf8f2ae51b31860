#!/usr/bin/env bash
# Whole-process playback cost: our headless program playing a 5-minute MP3
# with phone control on against `ffplay -nodisp -autoexit` on the same file,
# both on SDL's dummy driver, for SEGUNDOS of real time each (default 60),
# alternating, REPETICOES times (default 3). Reports the medians of CPU
# seconds per minute of audio and of the resident memory (peak) of each, and
# the ratio of the resident memories.
set -euo pipefail
construcao=${1:-build-bench}
segundos=${SEGUNDOS:-60}
repeticoes=${REPETICOES:-3}
source "$(dirname "$0")/lib/comum.sh"
dados=$(mktemp -d)
trap 'rm -rf "$dados"' EXIT
mkdir -p "$dados/musicas"
cp "$midia/5min.mp3" "$dados/musicas/"
porta=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '[Geral]\r\nPastaMusicas=%s\r\nTocarAoIniciar=1\r\nTransicaoSegundos=0\r\nTransicaoPadrao8=1\r\nVolumeAutomatico=0\r\n[Celular]\r\nAtivo=1\r\nPorta=%s\r\nPin=123456\r\n' \
    "$dados/musicas" "$porta" > "$dados/config.ini"

tique=$(getconf CLK_TCK)
medir() {  # command...: runs it for $segundos, prints "cpu_s rss_kb hwm_kb"
    "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "$segundos"
    local stat rss hwm
    stat=$(cut -d' ' -f14,15 "/proc/$pid/stat")
    rss=$(awk '/VmRSS/ { print $2 }' "/proc/$pid/status")
    hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    awk -v s="$stat" -v t="$tique" -v r="$rss" -v h="$hwm" 'BEGIN { split(s, a, " "); printf "%.3f %d %d\n", (a[1] + a[2]) / t, r, h }'
}
export SDL_AUDIODRIVER=dummy
nossos=()
deles=()
for ((i = 0; i < repeticoes; i++)); do
    nossos+=("$(medir "$construcao/lojasonorante" --sem-janela --dados "$dados" --driver-audio dummy)")
    deles+=("$(medir ffplay -nodisp -autoexit -loglevel quiet "$dados/musicas/5min.mp3")")
done
coluna() {  # N lines...: the median of field N
    local n=$1
    shift
    printf '%s\n' "$@" | awk -v n="$n" '{ print $n }' | mediana
}
nosso_cpu=$(coluna 1 "${nossos[@]}")
nosso_rss=$(coluna 2 "${nossos[@]}")
nosso_hwm=$(coluna 3 "${nossos[@]}")
ffplay_cpu=$(coluna 1 "${deles[@]}")
ffplay_rss=$(coluna 2 "${deles[@]}")
ffplay_hwm=$(coluna 3 "${deles[@]}")
echo "RSS de cada vez (kB): lojasonorante $(printf '%s\n' "${nossos[@]}" | awk '{ printf "%s ", $2 }')| ffplay $(printf '%s\n' "${deles[@]}" | awk '{ printf "%s ", $2 }')"
por_minuto() { awk -v c="$1" -v s="$segundos" 'BEGIN { printf "%.3f", c * 60 / s }'; }
printf "%-14s %18s %12s %12s\n" "" "CPU s/min audio" "RSS (MB)" "pico (MB)"
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
printf "%-14s %18s %12s %12s\n" "lojasonorante" "$(por_minuto "$nosso_cpu")" "$(mb "$nosso_rss")" "$(mb "$nosso_hwm")"
printf "%-14s %18s %12s %12s\n" "ffplay" "$(por_minuto "$ffplay_cpu")" "$(mb "$ffplay_rss")" "$(mb "$ffplay_hwm")"
awk -v a="$nosso_rss" -v b="$ffplay_rss" 'BEGIN { printf "memoria residente (medianas): %.3f x ffplay (alvo <= 0.75)\n", a / b }'
