# Shared by the bench scripts (sourced, never run): the media they measure,
# made once per build folder, and the timing helpers.

midia="$construcao/midia-bench"
mkdir -p "$midia"
ffmpeg_quieto=(ffmpeg -hide_banner -loglevel error -nostdin -y)

# 5 minutes of stereo music-like sound (gliding tones over noise), as MP3,
# WAV and WMA: every script measures the same audio.
[ -f "$midia/5min.mp3" ] || "${ffmpeg_quieto[@]}" -f lavfi \
    -i "aevalsrc='0.3*sin(2*PI*(220+110*sin(2*PI*0.1*t))*t)+0.1*(random(0)-0.5)|0.3*sin(2*PI*(330+110*sin(2*PI*0.13*t))*t)+0.1*(random(1)-0.5)':s=44100:d=300" \
    -c:a libmp3lame -b:a 192k "$midia/5min.mp3"
[ -f "$midia/5min.wav" ] || "${ffmpeg_quieto[@]}" -i "$midia/5min.mp3" -c:a pcm_s16le "$midia/5min.wav"
[ -f "$midia/5min.wma" ] || "${ffmpeg_quieto[@]}" -i "$midia/5min.mp3" -c:a wmav2 -b:a 128k "$midia/5min.wma"

# Median of the numbers on standard input.
mediana() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Wall seconds of one run of a command (its output discarded).
cronometrar() {
    local inicio fim
    inicio=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    fim=$(date +%s.%N)
    awk -v a="$inicio" -v b="$fim" 'BEGIN { printf "%.4f\n", b - a }'
}

# Fails the script when the engine logged an underrun in a data folder.
sem_faltas() {
    if grep -q "falta(s) de dados" "$1"/Logs/*.log; then
        echo "FALTAS NO AUDIO:"
        grep "falta(s) de dados" "$1"/Logs/*.log
        exit 1
    fi
}
