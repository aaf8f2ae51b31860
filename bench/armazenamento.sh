#!/usr/bin/env bash
# Dead air and the phone on slow storage (bench/armazenamento.py): the next
# song's open or reads stalled for 20 s, or served at 40 kB/s. With
# LJSN_BINARIO_ANTES, another build of the program runs the same scenarios
# in the same run, for a before-and-after.
set -euo pipefail
construcao=${1:-build-bench}
/usr/bin/python3 -c "import fusepy" 2>/dev/null || /usr/bin/python3 -c "import fuse" || {
    echo "sem FUSE (python3-fusepy): pulado"; exit 0; }
dir=$(dirname "$0")
if [ -n "${LJSN_BINARIO_ANTES:-}" ]; then
    /usr/bin/python3 "$dir/armazenamento.py" "$LJSN_BINARIO_ANTES" antes
fi
/usr/bin/python3 "$dir/armazenamento.py" "$construcao/lojasonorante" "este build"
