#!/usr/bin/env bash
# Makes the example music and advertisements that ship beside the executable:
# short pieces synthesised by ffmpeg (at different loudness on purpose, in MP3,
# WAV and WMA) and spoken advertisements (espeak-ng over a quiet tone bed).
# Usage: gerar_exemplos.sh PASTA
set -euo pipefail

destino=${1:?pasta de destino}
musicas="$destino/Musicas"
propagandas="$destino/Propagandas"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$musicas" "$propagandas"
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)

# A pad of four chords, each note faded in and out with a sin^2 window so the
# chord changes never click. $1 = seconds per chord, then 4 chords of 3 Hz values.
acordes() {
    local seg=$1; shift
    local expr="" k=0
    while [ $# -gt 0 ]; do
        local a=$1 b=$2 c=$3; shift 3
        local janela="(between(mod(t,$((seg*4))),$((k*seg)),$(((k+1)*seg)))*pow(sin(PI*mod(t,$seg)/$seg),2))"
        expr+="${expr:+ + }$janela*(sin(2*PI*$a*t)+0.6*sin(2*PI*$b*t)+0.5*sin(2*PI*$c*t)+0.15*sin(4*PI*$a*t))"
        k=$((k+1))
    done
    echo "0.25*($expr)*(0.85+0.15*sin(2*PI*0.5*t))"
}

peca() {  # nome segundos ganho_db codec extensao extra... -- seg acordes...
    local nome=$1 dur=$2 ganho=$3 ext=$4; shift 4
    local args=()
    while [ "$1" != "--" ]; do args+=("$1"); shift; done
    shift
    local e
    e=$(acordes "$@")
    "${ff[@]}" -f lavfi -i "aevalsrc=exprs='$e|$e*0.97':s=44100:d=$dur" \
        -af "volume=${ganho}dB,afade=t=in:d=1.5,afade=t=out:st=$((dur-3)):d=3" \
        "${args[@]}" "$musicas/$nome.$ext"
}

peca "Manhã de Sol" 48 -2 mp3 -c:a libmp3lame -b:a 160k -- \
    4 261.63 329.63 392.00 220.00 261.63 329.63 174.61 220.00 261.63 196.00 246.94 293.66
peca "Café na Esquina" 56 -12 mp3 -c:a libmp3lame -q:a 4 -write_xing 0 -- \
    4 293.66 349.23 440.00 246.94 293.66 392.00 196.00 246.94 293.66 220.00 277.18 329.63
peca "Tarde Tranquila" 44 -8 wav -c:a pcm_s16le -- \
    5 196.00 246.94 293.66 164.81 196.00 246.94 130.81 164.81 196.00 146.83 185.00 220.00
peca "Vitrine" 52 -16 wma -c:a wmav2 -b:a 128k -- \
    4 329.63 415.30 493.88 277.18 329.63 415.30 220.00 277.18 329.63 246.94 311.13 369.99
peca "Fim de Expediente" 40 -5 mp3 -c:a libmp3lame -b:a 128k -- \
    3 220.00 261.63 329.63 174.61 220.00 261.63 196.00 246.94 293.66 164.81 207.65 246.94

anuncio() {  # nome texto
    local nome=$1 texto=$2
    espeak-ng -v pt-br+f3 -s 150 -w "$tmp/voz.wav" "$texto"
    local dur
    dur=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$tmp/voz.wav")
    local total
    total=$(awk -v d="$dur" 'BEGIN { printf "%.2f", d + 2.0 }')
    "${ff[@]}" -i "$tmp/voz.wav" \
        -f lavfi -i "aevalsrc='0.05*sin(2*PI*110*t)+0.04*sin(2*PI*165*t)|0.05*sin(2*PI*110*t)+0.04*sin(2*PI*165*t)':s=44100:d=$total" \
        -filter_complex "[0:a]aresample=44100,pan=stereo|c0=c0|c1=c0,adelay=1000|1000[v];[1:a]afade=t=in:d=0.5,afade=t=out:st=$(awk -v t="$total" 'BEGIN { printf "%.2f", t - 0.8 }'):d=0.8[b];[v][b]amix=inputs=2:duration=longest:normalize=0[m]" \
        -map "[m]" -c:a libmp3lame -b:a 128k "$propagandas/$nome.mp3"
}

anuncio "Promoção da Semana" "Promoção da semana: leve três e pague dois em todos os produtos de limpeza. Só até sábado!"
anuncio "Cartão Fidelidade" "Peça já o seu cartão fidelidade e ganhe descontos a cada compra. Pergunte no caixa."
anuncio "Entrega em Casa" "Agora fazemos entregas na sua casa. Ligue ou mande uma mensagem e receba ainda hoje."

touch "$destino/.gerado"
