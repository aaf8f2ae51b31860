#!/usr/bin/env bash
# Tags of 2 000 MP3 files with a 60 KB cover each: our reader against TagLib
# alone on the same files, in one process (bench/ljsn_tags.cpp).
set -euo pipefail
construcao=${1:-build-bench}
source "$(dirname "$0")/lib/comum.sh"
pasta="$midia/tags-2000"
if [ ! -f "$pasta/faixa-2000.mp3" ]; then
    mkdir -p "$pasta"
    "${ffmpeg_quieto[@]}" -f lavfi -i "sine=frequency=440:duration=3" -c:a libmp3lame \
        -id3v2_version 0 -write_id3v1 0 "$midia/sem-tags-3s.mp3"
    /usr/bin/python3 - "$midia/sem-tags-3s.mp3" "$pasta/faixa-0001.mp3" <<'PY'
import os, shutil, sys
from mutagen.id3 import APIC, ID3, TALB, TCON, TDRC, TIT2, TPE1, Encoding
shutil.copyfile(sys.argv[1], sys.argv[2])
t = ID3()
t.add(TIT2(encoding=Encoding.UTF16, text="Canção de teste"))
t.add(TPE1(encoding=Encoding.UTF16, text="Banda Exemplo"))
t.add(TALB(encoding=Encoding.UTF16, text="Álbum"))
t.add(TDRC(encoding=Encoding.UTF8, text="2024"))
t.add(TCON(encoding=Encoding.UTF8, text="Pop"))
t.add(APIC(encoding=Encoding.UTF8, mime="image/jpeg", type=3, desc="capa", data=os.urandom(60000)))
t.save(sys.argv[2], v2_version=3)
PY
    for i in $(seq -w 2 2000); do cp "$pasta/faixa-0001.mp3" "$pasta/faixa-$i.mp3"; done
fi
"$construcao/bench/ljsn-tags" "$pasta"
