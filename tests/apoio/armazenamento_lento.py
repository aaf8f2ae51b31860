#!/usr/bin/python3
"""Slow storage for tests: a read-only FUSE mirror of a folder whose opens and
reads can be held back or paced on command.

Usage: armazenamento_lento.py ORIGEM PONTO_DE_MONTAGEM

Prints "PRONTO" once the mount answers, then reads one command a line on
standard input and answers each with one line, "OK" or "ERRO ...". NOME is
a path relative to the mount's root (the rest of the line, spaces and all);
"*" stands for every file.

    bloquear-abrir NOME     opens of NOME wait until released
    bloquear-ler NOME       reads of NOME wait (the open itself succeeds)
    bloquear-listar NOME    listing the folder NOME waits ("." is the root)
    bloquear-tudo           a share that stopped answering (see below)
    lento NOME BYTES_POR_S  reads of NOME are paced to that rate
    liberar NOME            lifts every rule on NOME
    liberar-tudo            lifts every rule, bloquear-tudo included
    contar NOME             "OK n": opens of NOME asked for so far
    sair                    lifts every rule and unmounts ("OK" once done)

End of input means "sair". Waiting calls sleep on a condition, never spin;
lifting a rule wakes them at once, paced reads included.

Pacing is per file: each read sleeps len(data) / rate after the reads of
the same file booked before it, so the file's bytes come at that rate
however many handles read it and however the kernel splits or overlaps the
requests.

Every read reaches this process: the mount uses direct_io (no page cache, no
readahead; a second read of the same bytes is paced or blocked again), and
attributes time out at once (every stat asks again). Names are cached by the
kernel (see Espelho for why): a file removed from ORIGEM while mounted still
resolves, and its stat or open then fails with ENOENT; new files show at once.
"""

import errno
import importlib
import os
import re
import signal
import stat
import subprocess
import sys
import threading
import time

# Debian names the module fusepy; elsewhere it is fuse. Either raises
# OSError when libfuse itself is missing.
fuse = None
_motivos = []
for _nome in ("fusepy", "fuse"):
    try:
        fuse = importlib.import_module(_nome)
        break
    except (ImportError, OSError) as _erro:
        _motivos.append("%s: %s" % (_nome, _erro))
if fuse is None:
    print("ERRO fusepy indisponivel (%s)" % "; ".join(_motivos), flush=True)
    sys.exit(2)

if not hasattr(fuse, "FUSE") or not hasattr(fuse, "Operations"):
    # The other "fuse" module (python-fuse) has neither.
    print("ERRO o modulo fuse encontrado nao e o fusepy", flush=True)
    sys.exit(2)

TODOS = "*"

_saida = threading.Lock()


def responder(linha):
    with _saida:
        try:
            sys.stdout.write(linha + "\n")
            sys.stdout.flush()
        except (BrokenPipeError, ValueError, OSError):
            pass


def normalizar(nome):
    nome = nome.strip("/")
    while nome.startswith("./"):
        nome = nome[2:]
    return nome


class Regras:
    """What is held back, guarded by one condition every waiting call sleeps on."""

    def __init__(self):
        self.condicao = threading.Condition()
        self.abrir = set()
        self.ler = set()
        self.listar = set()
        self.taxas = {}
        self.livre = {}
        self.tudo = False
        self.saindo = False
        self.aberturas = {}
        self.vistos = set()

    def _casa(self, conjunto, nome):
        return nome in conjunto or TODOS in conjunto

    def taxa(self, nome):
        return self.taxas.get(nome, self.taxas.get(TODOS))

    def esperar(self, bloqueado):
        with self.condicao:
            self.condicao.wait_for(lambda: self.saindo or not bloqueado())

    def esperar_abrir(self, nome, regular):
        with self.condicao:
            self.aberturas[nome] = self.aberturas.get(nome, 0) + 1
        self.esperar(lambda: self._casa(self.abrir, nome) or (self.tudo and regular))

    def esperar_listar(self, nome):
        self.esperar(lambda: nome in self.listar)

    def esperar_ler(self, nome):
        self.esperar(lambda: self._casa(self.ler, nome) or self.tudo)

    def esperar_atributos(self, nome):
        with self.condicao:
            if nome not in self.vistos:
                # The kernel's first lookup of this name: see Espelho.
                self.vistos.add(nome)
                return
        self.esperar(lambda: self.tudo)

    def compassar(self, nome, servidos):
        with self.condicao:
            taxa = self.taxa(nome)
            if not taxa:
                return
            # Each read books the next slot of its file, so overlapping or
            # split requests cannot add up to more than the rate.
            prazo = max(time.monotonic(), self.livre.get(nome, 0)) + servidos / taxa
            self.livre[nome] = prazo
            # Cut short when the rule on this file changes or goes.
            while not self.saindo and self.taxa(nome) == taxa:
                resto = prazo - time.monotonic()
                if resto <= 0:
                    break
                self.condicao.wait(resto)

    def mudar(self, acao):
        with self.condicao:
            acao()
            # Whatever the change, a new rate starts from a clean schedule.
            self.livre.clear()
            self.condicao.notify_all()

    def liberar(self, nome):
        def acao():
            self.abrir.discard(nome)
            self.ler.discard(nome)
            self.listar.discard(nome)
            self.taxas.pop(nome, None)

        self.mudar(acao)

    def liberar_tudo(self):
        def acao():
            self.abrir.clear()
            self.ler.clear()
            self.listar.clear()
            self.taxas.clear()
            self.tudo = False

        self.mudar(acao)

    def encerrar(self):
        self.liberar_tudo()
        self.mudar(lambda: setattr(self, "saindo", True))


class Espelho(fuse.Operations):
    """Read-only passthrough of ORIGEM.

    Under bloquear-tudo only regular files stop answering: their getattr
    (stat), open and read. Folders keep answering getattr, opendir and
    readdir, and readdir hands out each entry's type itself, so listing never
    needs a file's stat. The root must answer its getattr: a stat of the mount
    point, our own mount check and the unmount tools all ask for it. statfs,
    release, flush and readlink never wait, so a handle opened earlier still
    closes and unmounting still works.

    Lookups of file names must answer too. This libfuse (2.x) cannot offer
    parallel folder operations, so the kernel runs lookups and listing of one
    folder one at a time: a held lookup would hold up the listing. The high
    level API calls getattr for both lookup and stat; the first getattr of a
    name is always the kernel's lookup, and with a long entry timeout the
    kernel keeps the name and later only asks getattr (attributes time out at
    once). So the first getattr of each name answers even under
    bloquear-tudo; the kernel then sees the file but a stat, open or read of
    it waits. A name the kernel dropped from its cache (memory pressure)
    would be looked up again and wait there.
    """

    use_ns = True

    def __init__(self, origem, regras, montado):
        self.origem = origem
        self.regras = regras
        self.montado = montado

    def _real(self, caminho):
        return os.path.join(self.origem, normalizar(caminho))

    def init(self, caminho):
        self.montado.set()

    def getattr(self, caminho, fh=None):
        # Always by path: a folder's handle is 0, which is our own stdin.
        try:
            st = os.lstat(self._real(caminho))
        except OSError as erro:
            raise fuse.FuseOSError(erro.errno)
        if normalizar(caminho) and stat.S_ISREG(st.st_mode):
            self.regras.esperar_atributos(normalizar(caminho))
        chaves = ("st_mode", "st_ino", "st_nlink", "st_uid", "st_gid", "st_size",
                  "st_atime_ns", "st_mtime_ns", "st_ctime_ns", "st_blocks", "st_blksize")
        atributos = {c: getattr(st, c) for c in chaves}
        for c in ("st_atime", "st_mtime", "st_ctime"):
            atributos[c] = atributos.pop(c + "_ns")
        return atributos

    def readdir(self, caminho, fh):
        # A folder on a share that takes for ever to list.
        self.regras.esperar_listar(normalizar(caminho))
        yield "."
        yield ".."
        try:
            entradas = list(os.scandir(self._real(caminho)))
        except OSError as erro:
            raise fuse.FuseOSError(erro.errno)
        for e in entradas:
            st = e.stat(follow_symlinks=False)
            yield e.name, {"st_mode": st.st_mode, "st_ino": st.st_ino}, 0

    def readlink(self, caminho):
        try:
            return os.readlink(self._real(caminho))
        except OSError as erro:
            raise fuse.FuseOSError(erro.errno)

    def open(self, caminho, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise fuse.FuseOSError(errno.EROFS)
        real = self._real(caminho)
        try:
            regular = stat.S_ISREG(os.stat(real).st_mode)
        except OSError as erro:
            raise fuse.FuseOSError(erro.errno)
        self.regras.esperar_abrir(normalizar(caminho), regular)
        try:
            return os.open(real, os.O_RDONLY)
        except OSError as erro:
            raise fuse.FuseOSError(erro.errno)

    def read(self, caminho, tamanho, posicao, fh):
        nome = normalizar(caminho)
        self.regras.esperar_ler(nome)
        try:
            dados = os.pread(fh, tamanho, posicao)
        except OSError as erro:
            raise fuse.FuseOSError(erro.errno)
        self.regras.compassar(nome, len(dados))
        return dados

    def release(self, caminho, fh):
        os.close(fh)
        return 0

    def statfs(self, caminho):
        v = os.statvfs(self.origem)
        return {c: getattr(v, c) for c in ("f_bsize", "f_frsize", "f_blocks", "f_bfree",
                                           "f_bavail", "f_files", "f_ffree", "f_favail",
                                           "f_flag", "f_namemax")}


def listado_em_mountinfo(ponto):
    """Whether ponto is a mount point, without touching it: a dead FUSE mount
    fails every stat, so os.path.ismount calls it unmounted."""
    try:
        with open("/proc/self/mountinfo", "rb") as f:
            linhas = f.read().decode("utf-8", "surrogateescape").splitlines()
    except OSError:
        return False
    for linha in linhas:
        campos = linha.split(" ")
        if len(campos) > 4 and re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)),
                                      campos[4]) == ponto:
            return True
    return False


def desmontar(ponto):
    """Last resort when the FUSE loop did not unmount on its own."""
    for comando in (["fusermount3", "-u", "-z", ponto], ["fusermount", "-u", "-z", ponto],
                    ["umount", "-l", ponto]):
        if not listado_em_mountinfo(ponto):
            return
        try:
            subprocess.run(comando, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=10, check=False)
        except (OSError, subprocess.SubprocessError):
            pass


def respondendo(ponto):
    """Whether the mount is live: the stat behind ismount reaches our root."""
    try:
        return os.path.ismount(ponto)
    except OSError:
        return False


def ler_comandos(regras, ponto, terminou):
    try:
        for bruta in sys.stdin.buffer:
            linha = bruta.decode("utf-8", "surrogateescape").rstrip("\r\n")
            comando, _, resto = linha.partition(" ")
            if comando == "sair":
                break
            responder(executar(regras, comando, resto))
    except (OSError, ValueError):
        pass
    regras.encerrar()
    # libfuse's SIGTERM handler ends the loop, which then unmounts; it must
    # reach the main thread, the one waiting in fuse_main.
    signal.pthread_kill(threading.main_thread().ident, signal.SIGTERM)
    if not terminou.wait(10):
        desmontar(ponto)
        if not terminou.wait(10):
            responder("ERRO o laco do FUSE nao terminou")
            os._exit(1)


def executar(regras, comando, resto):
    nome = normalizar(resto)
    if comando in ("bloquear-abrir", "bloquear-ler", "bloquear-listar", "liberar", "contar") and not nome:
        return "ERRO falta o nome"
    if nome == ".":
        nome = ""  # the root, as readdir names it
    if comando == "bloquear-abrir":
        regras.mudar(lambda: regras.abrir.add(nome))
    elif comando == "bloquear-ler":
        regras.mudar(lambda: regras.ler.add(nome))
    elif comando == "bloquear-listar":
        regras.mudar(lambda: regras.listar.add(nome))
    elif comando == "bloquear-tudo":
        regras.mudar(lambda: setattr(regras, "tudo", True))
    elif comando == "lento":
        nome, _, taxa = resto.rpartition(" ")
        nome = normalizar(nome)
        try:
            taxa = float(taxa)
        except ValueError:
            taxa = 0
        if not nome or taxa <= 0:
            return "ERRO uso: lento NOME BYTES_POR_SEGUNDO"
        regras.mudar(lambda: regras.taxas.__setitem__(nome, taxa))
    elif comando == "liberar":
        regras.liberar(nome)
    elif comando == "liberar-tudo":
        regras.liberar_tudo()
    elif comando == "contar":
        with regras.condicao:
            if nome == TODOS:
                n = sum(regras.aberturas.values())
            else:
                n = regras.aberturas.get(nome, 0)
        return "OK %d" % n
    else:
        return "ERRO comando desconhecido: %s" % comando
    return "OK"


def anunciar_quando_montado(ponto, montado, regras, terminou):
    montado.wait()
    # The kernel holds this stat until INIT has been answered.
    if not respondendo(ponto):
        responder("ERRO %s nao ficou montado" % ponto)
        return
    responder("PRONTO")
    ler_comandos(regras, ponto, terminou)


def main():
    if len(sys.argv) != 3:
        responder("ERRO uso: armazenamento_lento.py ORIGEM PONTO_DE_MONTAGEM")
        return 2
    origem = os.path.abspath(sys.argv[1])
    ponto = os.path.abspath(sys.argv[2])
    if not os.path.isdir(origem):
        responder("ERRO a origem nao e uma pasta: %s" % origem)
        return 2
    try:
        os.makedirs(ponto, exist_ok=True)
    except OSError as erro:
        responder("ERRO ponto de montagem: %s" % erro)
        return 2
    if listado_em_mountinfo(ponto):
        responder("ERRO %s ja tem algo montado" % ponto)
        return 2

    # libfuse only installs its handlers over the default action.
    for s in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(s, signal.SIG_DFL)

    regras = Regras()
    montado = threading.Event()
    terminou = threading.Event()
    threading.Thread(target=anunciar_quando_montado, args=(ponto, montado, regras, terminou),
                     daemon=True).start()
    codigo = 0
    try:
        fuse.FUSE(Espelho(origem, regras, montado), ponto, foreground=True, ro=True,
                  direct_io=True, attr_timeout=0, entry_timeout=86400, negative_timeout=0,
                  use_ino=True, fsname="armazenamento_lento")
    except Exception as erro:
        codigo = 1
        if not montado.is_set():
            responder("ERRO a montagem falhou: %r (veja a saida de erros)" % (erro,))
    with regras.condicao:
        pedido = regras.saindo
    regras.encerrar()
    desmontar(ponto)
    terminou.set()
    if pedido:
        responder("OK")
    elif montado.is_set():
        responder("ERRO desmontado sem pedido")
        codigo = 1
    return codigo


if __name__ == "__main__":
    sys.exit(main())
