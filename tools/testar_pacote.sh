#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a temporary
# root and runs the program from there: the package holds what a shop needs.
set -euo pipefail
construcao=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$construcao" && cpack -G DEB -B "$tmp/pacote" >/dev/null)
deb=$(ls "$tmp"/pacote/*.deb)
dpkg-deb -x "$deb" "$tmp/raiz"
falhou=0
verificar() {
    if ! eval "$2"; then
        echo "FALHOU: $1"
        falhou=1
    fi
}
depende=$(dpkg-deb -f "$deb" Depends)
verificar "dependencias tiradas das bibliotecas" '[[ $depende == *libavformat* && $depende == *libsdl2* && $depende == *libqt6widgets* ]]'
# Opened at run time, so only the hand-named dependency brings it.
verificar "libcurl, aberta so no primeiro download" '[[ $depende == *libcurl4* ]]'
verificar "TagLib, pelo modulo de tags" '[[ $depende == *libtag1v5* ]]'
bin=$(find "$tmp/raiz" -path '*/bin/lojasonorante' -type f)
verificar "programa no pacote" '[ -x "$bin" ] && [ -x "$(dirname "$bin")/lojasonorante-janela" ]'
verificar "--versao" '"$bin" --versao | grep -q "^Loja Sonorante [0-9]"'
ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i "sine=f=440:d=3" -ac 2 "$tmp/tom.wav"
linha=$("$bin" --medir-loudness "$tmp/tom.wav")
verificar "--medir-loudness" '[[ $linha =~ ^-[0-9]+\.[0-9]{2}$'"'"'\t'"'"' ]]'
# An Ogg file's tags come from the TagLib module, found beside the program.
ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i "sine=f=440:d=1" \
    -metadata title="Titulo do pacote" "$tmp/tom.ogg"
verificar "--tags pelo modulo" '"$bin" --tags "$tmp/tom.ogg" 2>&1 | grep -qx "Titulo: Titulo do pacote"'
for f in lib/systemd/user/lojasonorante.service lib/lojasonorante/libljsn_taglib.so \
         share/applications/lojasonorante.desktop \
         share/icons/hicolor/scalable/apps/lojasonorante.svg; do
    verificar "$f no pacote" '[ -n "$(find "$tmp/raiz" -path "*/$f")" ]'
done
verificar "README no pacote" '[ -n "$(find "$tmp/raiz" -name README.md)" ]'
verificar "exemplos no pacote" '[ -n "$(find "$tmp/raiz" -path "*/Exemplos/Musicas/*" -type f)" ]'
exit $falhou
