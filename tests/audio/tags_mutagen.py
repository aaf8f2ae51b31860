# Writes ID3 tags with mutagen (an independent implementation) onto a copy of
# a tagless MP3, reads them back with mutagen, and prints what mutagen reads
# as JSON: the oracle the C++ tag tests compare our reader with.
# Usage: python3 tags_mutagen.py SCENARIO TAGLESS.mp3 OUT.mp3
import json
import shutil
import struct
import sys

from mutagen.id3 import APIC, ID3, TALB, TCON, TDRC, TIT2, TPE1, TYER, Encoding

JPEG = bytes([0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10]) + b"JFIF\x00" + bytes(range(256)) * 3 + bytes(
    [0xFF, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xD9]
)
PNG = b"\x89PNG\r\n\x1a\n" + bytes([0xFF, 0x00, 0x01]) * 40


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def unsynchronise(path):
    """Applies whole-tag unsynchronisation to a v2.3 tag (mutagen does not
    write it, but reads it)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:3] == b"ID3" and data[3] == 3
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    body = data[10 : 10 + size]
    out = bytearray()
    for i, b in enumerate(body):
        out.append(b)
        if b == 0xFF and (i + 1 == len(body) or body[i + 1] == 0x00 or body[i + 1] >= 0xE0):
            out.append(0x00)
    header = data[:5] + bytes([data[5] | 0x80]) + synchsafe(len(out))
    with open(path, "wb") as f:
        f.write(header + bytes(out) + data[10 + size :])


def strip_v2(path):
    with open(path, "rb") as f:
        data = f.read()
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    with open(path, "wb") as f:
        f.write(data[10 + size :])


def write(scenario, path):
    t = ID3()
    if scenario == "v23":
        t.add(TIT2(encoding=Encoding.UTF16, text="Canção do Mar"))
        t.add(TPE1(encoding=Encoding.UTF16, text="Artista Ação"))
        t.add(TALB(encoding=Encoding.LATIN1, text="Álbum Único"))
        t.add(TYER(encoding=Encoding.LATIN1, text="1998"))
        t.add(TCON(encoding=Encoding.LATIN1, text="(17)"))
        t.add(APIC(encoding=Encoding.UTF16, mime="image/jpeg", type=3, desc="Capa", data=JPEG))
        t.save(path, v2_version=3, v1=0)
    elif scenario == "v24":
        t.add(TIT2(encoding=Encoding.UTF8, text="Sabiá — ao vivo"))
        t.add(TPE1(encoding=Encoding.UTF16BE, text="Cantora 🎵 Lá"))
        t.add(TALB(encoding=Encoding.UTF8, text="Noites"))
        t.add(TDRC(encoding=Encoding.UTF8, text="2019-05-01T10:00"))
        t.add(TCON(encoding=Encoding.UTF8, text="Rock and Roll"))
        t.add(APIC(encoding=Encoding.UTF8, mime="image/png", type=3, desc="", data=PNG))
        t.save(path, v2_version=4, v1=0)
    elif scenario == "sincronia":
        t.add(TIT2(encoding=Encoding.LATIN1, text="Sincronia ÿ fim"))
        t.add(TPE1(encoding=Encoding.UTF16, text="ÿÿ Banda"))
        t.add(APIC(encoding=Encoding.LATIN1, mime="image/jpeg", type=3, desc="x", data=JPEG))
        t.save(path, v2_version=3, v1=0)
        unsynchronise(path)
    elif scenario == "figuras":
        t.add(TIT2(encoding=Encoding.UTF8, text="Duas capas"))
        t.add(APIC(encoding=Encoding.LATIN1, mime="image/png", type=4, desc="verso", data=PNG))
        t.add(APIC(encoding=Encoding.UTF16, mime="image/jpeg", type=3, desc="frente", data=JPEG))
        t.add(APIC(encoding=Encoding.LATIN1, mime="image/png", type=3, desc="outra", data=PNG[:20]))
        t.save(path, v2_version=4, v1=0)
    elif scenario == "v1":
        t.add(TIT2(encoding=Encoding.LATIN1, text="Só ID3v1"))
        t.add(TPE1(encoding=Encoding.LATIN1, text="Conjunto"))
        t.add(TALB(encoding=Encoding.LATIN1, text="Disco"))
        t.add(TDRC(encoding=Encoding.LATIN1, text="1987"))
        t.add(TCON(encoding=Encoding.LATIN1, text="Reggae"))
        t.save(path, v2_version=3, v1=2)
        strip_v2(path)
    elif scenario == "ambas":
        t.add(TIT2(encoding=Encoding.UTF16, text="Título da v2"))
        t.add(TCON(encoding=Encoding.LATIN1, text="(8)"))
        t.save(path, v2_version=3, v1=2)
        # The v1 tag gets what the v2 tag leaves empty.
        with open(path, "r+b") as f:
            f.seek(-128, 2)
            v1 = bytearray(f.read(128))
            v1[33:63] = b"Artista v1".ljust(30, b"\x00")
            v1[63:93] = b"Album v1".ljust(30, b"\x00")
            v1[93:97] = b"2001"
            f.seek(-128, 2)
            f.write(bytes(v1))
    else:
        raise SystemExit("unknown scenario " + scenario)


def read(path):
    t = ID3(path)
    out = {}

    def text(fid):
        return str(t[fid].text[0]).strip() if fid in t else ""

    out["titulo"] = text("TIT2")
    out["artista"] = text("TPE1")
    out["album"] = text("TALB")
    out["ano"] = str(t["TDRC"].text[0])[:4] if "TDRC" in t else ""
    out["genero"] = t["TCON"].genres[0] if "TCON" in t else ""
    pics = t.getall("APIC")
    chosen = None
    for p in pics:
        if chosen is None or (chosen.type != 3 and p.type == 3):
            chosen = p
        if chosen.type == 3:
            break
    out["mime"] = chosen.mime if chosen else ""
    out["capa"] = chosen.data.hex() if chosen else ""
    return out


def main():
    scenario, tagless, out = sys.argv[1:4]
    shutil.copyfile(tagless, out)
    write(scenario, out)
    print(json.dumps(read(out), ensure_ascii=False))


main()
