#!/usr/bin/env python3
"""Checks every #include "..." under src/ against the layering table: a folder
may include only itself and the folders below it. Header-only upward includes
(enums, inline functions) escape the linker, so this runs as a test."""
import pathlib
import re
import sys

PERMITIDO = {
    "main.cpp": {"janelas", "programa", "ambiente", "comum"},
    "main_janela.cpp": {"janelas", "programa", "ambiente", "comum"},
    "janelas": {"programa", "falas", "ambiente", "comum", "recursos"},
    "programa": {"audio", "audio/motor", "locutor", "locutor/voz", "falas", "controle",
                 "ambiente", "comum", "recursos"},
    "controle": {"ambiente", "comum", "recursos"},
    "falas": {"ambiente", "comum"},
    "locutor": {"locutor/voz", "audio/motor", "ambiente", "comum", "recursos"},
    "locutor/voz": {"audio/motor", "comum"},
    "audio": {"audio/motor", "ambiente", "comum"},
    "audio/motor": {"comum"},
    "ambiente": {"comum"},
    "comum": set(),
    "recursos": set(),
}

# The faces reach the programme through its control surface only, and the
# speech producers reach the engine through the speech channel only.
SO_ESTES = {
    ("janelas", "programa"): {"programa/uControle.h", "programa/uVisao.h",
                              "programa/uComandosJson.h"},
    ("locutor", "audio/motor"): {"audio/motor/uCanalFala.h"},
    ("locutor/voz", "audio/motor"): {"audio/motor/uCanalFala.h"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def pasta_de(relativo: pathlib.PurePosixPath) -> str:
    partes = relativo.parts
    if len(partes) == 1:
        return partes[0]
    if len(partes) >= 3 and "/".join(partes[:2]) in PERMITIDO:
        return "/".join(partes[:2])
    return partes[0]


def alvo_de(include: str) -> str:
    partes = include.split("/")
    if len(partes) >= 3 and "/".join(partes[:2]) in PERMITIDO:
        return "/".join(partes[:2])
    return partes[0]


def main() -> int:
    raiz = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    erros = []
    for arquivo in sorted(raiz.rglob("*")):
        if arquivo.suffix not in {".h", ".cpp"}:
            continue
        relativo = pathlib.PurePosixPath(arquivo.relative_to(raiz).as_posix())
        origem = pasta_de(relativo)
        if origem not in PERMITIDO:
            erros.append(f"{relativo}: pasta sem regra de camadas")
            continue
        for incluido in INCLUDE.findall(arquivo.read_text(encoding="utf-8")):
            alvo = alvo_de(incluido)
            if alvo == origem:
                continue
            if alvo not in PERMITIDO:
                erros.append(f"{relativo}: inclui {incluido}, fora das pastas conhecidas")
            elif alvo not in PERMITIDO[origem]:
                erros.append(f"{relativo}: {origem} nao pode incluir {incluido} ({alvo})")
            elif (origem, alvo) in SO_ESTES and incluido not in SO_ESTES[(origem, alvo)]:
                erros.append(f"{relativo}: {origem} so inclui de {alvo} "
                             f"{', '.join(sorted(SO_ESTES[(origem, alvo)]))}, nao {incluido}")
    for erro in erros:
        print(erro)
    return 1 if erros else 0


if __name__ == "__main__":
    sys.exit(main())
