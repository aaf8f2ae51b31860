#!/usr/bin/python3
"""Dead air on slow storage: the real program plays from a FUSE mirror that
stalls or crawls (tests/apoio/armazenamento_lento.py), recording what the
shop hears, while a phone polls the state report every 200 ms.

Usage: armazenamento.py BINARIO [ROTULO]

Scenarios:
  abrir-travado  the next song's open stalls for 20 s, then goes on
  ler-travado    the next song's reads stall for 20 s, then go on
  lento          the next song (an 8 s MP3, 128 kB) is served at 40 kB/s

For each: the longest silence heard after the first song started (dead air,
below -60 dBFS in 10 ms windows), and the phone's polls unanswered and its
slowest answer.
"""
import array
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
AJUDANTE = os.path.join(RAIZ, "tests", "apoio", "armazenamento_lento.py")
PIN = "135790"


def porta_livre():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    p = s.getsockname()[1]
    s.close()
    return p


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", *args],
                   check=True)


def tom(caminho, segundos, freq, codec=("-c:a", "pcm_s16le")):
    ffmpeg("-f", "lavfi", "-i", "sine=frequency=%d:duration=%d" % (freq, segundos),
           "-ac", "2", "-ar", "44100", *codec, caminho)


class Lento:
    def __init__(self, origem, ponto):
        self.p = subprocess.Popen(["/usr/bin/python3", AJUDANTE, origem, ponto],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        linha = self.p.stdout.readline().strip()
        if linha != "PRONTO":
            raise RuntimeError("montagem falhou: " + linha)

    def __call__(self, comando):
        self.p.stdin.write(comando + "\n")
        self.p.stdin.flush()
        return self.p.stdout.readline().strip()

    def fechar(self):
        try:
            self("sair")
        except OSError:
            pass
        self.p.wait(timeout=20)


class Celular(threading.Thread):
    def __init__(self, porta):
        super().__init__(daemon=True)
        self.url = "http://127.0.0.1:%d/api/estado" % porta
        self.parar = threading.Event()
        self.respondidos = 0
        self.falhas = 0
        self.mais_lento = 0.0

    def run(self):
        while not self.parar.is_set():
            inicio = time.monotonic()
            try:
                pedido = urllib.request.Request(self.url, data=b"{}", headers={"X-Pin": PIN})
                with urllib.request.urlopen(pedido, timeout=10) as r:
                    ok = r.status == 200
                    json.loads(r.read())
            except Exception:
                ok = False
            if ok:
                self.respondidos += 1
                self.mais_lento = max(self.mais_lento, time.monotonic() - inicio)
            else:
                self.falhas += 1
            time.sleep(0.2)


def maior_silencio(wav):
    with open(wav, "rb") as f:
        dados = f.read()
    i = 12
    while i + 8 <= len(dados):
        nome, tamanho = dados[i:i + 4], struct.unpack("<I", dados[i + 4:i + 8])[0]
        if nome == b"data":
            amostras = array.array("f")
            fim = i + 8 + min(tamanho, len(dados) - i - 8)
            amostras.frombytes(dados[i + 8:fim - (fim - i - 8) % 4])
            break
        i += 8 + tamanho + (tamanho & 1)
    else:
        return None
    janela = 441 * 2  # 10 ms of stereo
    picos = [max(abs(x) for x in amostras[k:k + janela]) if amostras[k:k + janela] else 0
             for k in range(0, len(amostras), janela)]
    com_som = [k for k, p in enumerate(picos) if p >= 0.001]
    if not com_som:
        return None
    maior = atual = 0
    for p in picos[com_som[0]:com_som[-1] + 1]:
        atual = atual + 1 if p < 0.001 else 0
        maior = max(maior, atual)
    return maior * 0.01


def cenario(binario, nome):
    pasta = tempfile.mkdtemp(prefix="ljsn-armazenamento-")
    try:
        origem = os.path.join(pasta, "origem")
        os.makedirs(origem)
        tom(os.path.join(origem, "a.wav"), 4, 440)
        if nome == "lento":
            tom(os.path.join(origem, "b.mp3"), 8, 550, ("-c:a", "libmp3lame", "-b:a", "128k"))
        else:
            tom(os.path.join(origem, "b.wav"), 4, 550)
        tom(os.path.join(origem, "c.wav"), 4, 660)
        lento = Lento(origem, os.path.join(pasta, "musicas"))
        porta = porta_livre()
        with open(os.path.join(pasta, "config.ini"), "w") as f:
            f.write("[Geral]\r\nPastaMusicas=%s\r\nTransicaoSegundos=0\r\nTransicaoPadrao8=1\r\n"
                    "VolumeAutomatico=0\r\n[Locutor]\r\nHoraCerta=0\r\n[Datas]\r\nAtivas=\r\n"
                    "[Celular]\r\nAtivo=1\r\nPin=%s\r\nPorta=%d\r\n"
                    % (os.path.join(pasta, "musicas"), PIN, porta))
        regra = {"abrir-travado": "bloquear-abrir b.wav", "ler-travado": "bloquear-ler b.wav",
                 "lento": "lento b.mp3 40000"}[nome]
        if lento(regra) != "OK":
            raise RuntimeError("regra recusada")
        wav = os.path.join(pasta, "saida.wav")
        ambiente = dict(os.environ, SDL_AUDIODRIVER="dummy",
                        LJSN_EDGE=os.path.join(pasta, "sem-navegador"))
        programa = subprocess.Popen([binario, "--sem-janela", "--dados", pasta, "--gravar-saida",
                                     wav, "/tocarpausar"], env=ambiente,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        celular = Celular(porta)
        celular.start()
        # a (4 s), then b: a stall is lifted after 20 s; 14 s more for b and
        # c. The slow share stays slow.
        time.sleep(4 + 20)
        lento("liberar-tudo")
        time.sleep(14)
        celular.parar.set()
        celular.join()
        programa.send_signal(signal.SIGTERM)
        try:
            programa.wait(timeout=30)
        except subprocess.TimeoutExpired:
            programa.kill()
        lento.fechar()
        return maior_silencio(wav), celular
    finally:
        shutil.rmtree(pasta, ignore_errors=True)


def main():
    binario = sys.argv[1]
    rotulo = sys.argv[2] if len(sys.argv) > 2 else binario
    for nome in ("abrir-travado", "ler-travado", "lento"):
        silencio, celular = cenario(binario, nome)
        print("%-14s %-22s silencio maximo %5.1f s | celular: %d respondidos, %d sem resposta, "
              "mais lento %.2f s" % (nome, rotulo, silencio if silencio is not None else -1,
                                     celular.respondidos, celular.falhas, celular.mais_lento))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
