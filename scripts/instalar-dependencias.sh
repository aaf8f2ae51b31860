#!/usr/bin/env bash
# Installs the Debian packages that are missing, and nothing else.
# Usage: scripts/instalar-dependencias.sh [construir|testes]
#   construir: what building and running the programme needs
#   testes:    that, plus what the tests and benchmarks need
set -euo pipefail

conjunto=${1:-construir}

construir=(
    g++ cmake ninja-build make pkg-config
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev ffmpeg
    libsdl2-dev libespeak-ng-dev espeak-ng libtag1-dev
    qt6-base-dev qt6-svg-dev fonts-dejavu-core fonts-material-design-icons-iconfont
    libcpp-httplib-dev libpcre2-dev nlohmann-json3-dev libcurl4-openssl-dev libssl-dev
    libqrencode-dev dpkg-dev
)
testes=(
    libgtest-dev libgmock-dev libbenchmark-dev libebur128-dev clang-format python3
    libzbar-dev zbar-tools python3-mutagen python3-fusepy fuse3
    pulseaudio pulseaudio-utils xvfb xauth trayer xdotool x11-utils libx11-dev
    chromium nodejs wrk valgrind fonts-noto-color-emoji
    clang libclang-rt-14-dev
)

pacotes=("${construir[@]}")
if [ "$conjunto" = "testes" ]; then
    pacotes+=("${testes[@]}")
fi

faltando=()
for p in "${pacotes[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        faltando+=("$p")
    fi
done

# npm comes with Debian's nodejs or with the machine's own Node.js; the
# Debian npm package conflicts with the latter, so only ask for it when absent.
if [ "$conjunto" = "testes" ] && ! command -v npm >/dev/null 2>&1; then
    faltando+=(npm)
fi

if [ ${#faltando[@]} -eq 0 ]; then
    exit 0
fi

echo "Instalando pacotes que faltam: ${faltando[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo_cmd=()
else
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${faltando[@]}"
