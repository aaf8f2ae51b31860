#!/usr/bin/env bash
# Resident memory of the program with its window open and playing a 5-minute
# MP3, against qmmp (a Qt audio player; installed here when missing) playing
# the same file, both on one Xvfb display and one PulseAudio null sink,
# median of 3 runs, measured after 15 s of playback.
set -euo pipefail
construcao=${1:-build-bench}
source "$(dirname "$0")/lib/comum.sh"
if ! command -v qmmp >/dev/null; then
    if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends qmmp >/dev/null
fi
tmp=$(mktemp -d)
pids=()
limpar() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap limpar EXIT
exec 3>"$tmp/tela"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$tmp/tela" ] && break; sleep 0.1; done
tela=":$(head -1 "$tmp/tela")"
runtime="$tmp/run"; mkdir -p "$runtime"; chmod 700 "$runtime"
ambiente=(DISPLAY="$tela" XDG_RUNTIME_DIR="$runtime" PULSE_SERVER="unix:$runtime/pulse/native"
          HOME="$tmp/casa" XDG_CONFIG_HOME="$tmp/config" LJSN_EDGE="$tmp/sem-navegador")
mkdir -p "$tmp/casa"
env "${ambiente[@]}" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    --load="module-null-sink sink_name=ci_sink rate=44100 channels=2" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$runtime/pulse/native" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do env "${ambiente[@]}" pactl info >/dev/null 2>&1 && break; sleep 0.1; done
rss() { awk '/VmRSS/ { print $2 }' "/proc/$1/status"; }

mkdir -p "$tmp/config/LojaSonorante" "$tmp/dados/musicas"
printf '[Novidades]\r\nVersaoVista=1.20.0\r\n[Termos]\r\nVersao=1\r\n' > "$tmp/config/LojaSonorante/estado.ini"
cp "$midia/5min.mp3" "$tmp/dados/musicas/"
printf '[Geral]\r\nPastaMusicas=%s\r\nTocarAoIniciar=1\r\nVolumeAutomatico=0\r\n' "$tmp/dados/musicas" > "$tmp/dados/config.ini"

nossos=(); deles=()
for rodada in 1 2 3; do
    env "${ambiente[@]}" "$construcao/lojasonorante" --dados "$tmp/dados" --driver-audio pulseaudio >/dev/null 2>&1 &
    p=$!
    sleep 15
    nossos+=("$(rss "$p")")
    grep -q "TOCANDO" "$tmp/dados/Logs/"*.log || { echo "o programa nao tocou"; exit 1; }
    kill -TERM "$p"; wait "$p" || true

    env "${ambiente[@]}" qmmp "$midia/5min.mp3" >/dev/null 2>&1 &
    q=$!
    sleep 3
    env "${ambiente[@]}" qmmp --play >/dev/null 2>&1 || true
    sleep 12
    estado=$(env "${ambiente[@]}" qmmp --status 2>/dev/null | head -1 || true)
    deles+=("$(rss "$q")")
    env "${ambiente[@]}" qmmp --quit >/dev/null 2>&1 || kill "$q" || true
    wait "$q" 2>/dev/null || true
    echo "rodada $rodada: nosso ${nossos[-1]} kB | qmmp ${deles[-1]} kB ($estado)"
done
n=$(printf '%s\n' "${nossos[@]}" | mediana)
q=$(printf '%s\n' "${deles[@]}" | mediana)
echo "memoria residente com a janela tocando: nosso $n kB | qmmp $q kB | razao $(awk -v a="$n" -v b="$q" 'BEGIN { printf "%.2f", a / b }')"
