#!/usr/bin/env bash
# The news reader against Python's html.unescape + xml.etree on the same
# input, both timed in-process: LimparTexto on a 1 MB item description, and
# LerFeed on a 10 MB feed of 20 000 items.
set -euo pipefail
construcao=${1:-build-bench}
source "$(dirname "$0")/lib/comum.sh"
python3 - "$midia" <<'PY'
import os, sys
pasta = sys.argv[1]
if not os.path.exists(os.path.join(pasta, "descricao-1mb.txt")):
    trecho = ("&lt;p&gt;A feira re&#250;ne &lt;b&gt;120&lt;/b&gt; expositores &amp;amp; "
              "artes&#227;os de todo o estado . Entrada &quot;gratuita&quot; &#8211; "
              "at&eacute; domingo!&lt;/p&gt;\n<![CDATA[<img src='x.png' /> Mais texto "
              "na descri&ccedil;&atilde;o.]]> ")
    with open(os.path.join(pasta, "descricao-1mb.txt"), "w", encoding="utf-8") as f:
        f.write((trecho * (1048576 // len(trecho) + 1))[:1048576])
if not os.path.exists(os.path.join(pasta, "feed-10mb.xml")):
    partes = ['<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel><title>Feed</title>']
    for i in range(20000):
        partes.append(
            "<item><title><![CDATA[Not\u00edcia %d: feira de artesanato ocupa a pra\u00e7a]]></title>"
            "<link>https://agencia.exemplo.br/geral/noticia/2026-12/item-%d</link>"
            "<description>&lt;p&gt;&lt;img src=&quot;https://agencia.exemplo.br/logo.png&quot; /&gt;"
            "&lt;/p&gt;&lt;p&gt;A feira re\u00fane 120 expositores de todo o estado . Os visitantes "
            "encontram pe\u00e7as em cer\u00e2mica , madeira e tecido &#8211; at\u00e9 domingo."
            "&lt;/p&gt;"
            "&lt;img src=&quot;https://agencia.exemplo.br/ebc.png?id=%d&quot; width=&quot;1&quot; /&gt;"
            "</description><pubDate>Wed, 09 Dec 2026 %02d:%02d:00 -0300</pubDate></item>"
            % (i, i, i, i % 24, i % 60))
    partes.append("</channel></rss>")
    with open(os.path.join(pasta, "feed-10mb.xml"), "w", encoding="utf-8") as f:
        f.write("".join(partes))
PY
for modo in limpar feed; do
    arq="$midia/descricao-1mb.txt"
    [ "$modo" = feed ] && arq="$midia/feed-10mb.xml"
    read -r nosso n_nosso < <("$construcao/bench/ljsn-noticias" "$modo" "$arq")
    read -r py n_py < <(python3 "$(dirname "$0")/noticias_python.py" "$modo" "$arq")
    echo "$modo ($(du -h "$arq" | cut -f1)): nosso $nosso s ($n_nosso) | python $py s ($n_py) | razao $(awk -v a="$py" -v b="$nosso" 'BEGIN { printf "%.2f", a / b }')x"
done
