#!/usr/bin/env bash
# The PIN under attack: the running program with phone control on, guessed
# from many loopback addresses at once (ljsn-ataque-pin) for SEGUNDOS_PIN
# seconds (130 by default, so more than two of the server's minutes), while
# the shop's phone keeps polling. Reports the guesses the server checked and
# the expected time to find a six-digit PIN at that rate. LJSN_BINARIO_PIN
# runs another build of the program against the same attack.
set -euo pipefail
construcao=${1:-build-bench}
segundos=${SEGUNDOS_PIN:-130}
binario=${LJSN_BINARIO_PIN:-$construcao/lojasonorante}
dados=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$dados"' EXIT
porta=$((40000 + RANDOM % 20000))
# A PIN the guesses (000000 upward) do not reach in the run.
printf '[Geral]\r\nTocarAoIniciar=0\r\n[Celular]\r\nAtivo=1\r\nPorta=%d\r\nPin=987654\r\n' \
    "$porta" > "$dados/config.ini"
"$binario" --sem-janela --dados "$dados" --driver-audio dummy > "$dados/saida.txt" 2>&1 &
pid=$!
for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$porta/favicon.ico" && break
    sleep 0.1
done
"$construcao/bench/ljsn-ataque-pin" "$porta" 987654 "$segundos" 16 1000
echo "  linhas do log sobre o PIN:"
(grep -h "\[CELULAR\]" "$dados"/Logs/*.log || true) | sed "s/^/    /" | tail -n 6
echo "  ($(cat "$dados"/Logs/*.log | grep -c "\[CELULAR\]" || true) linhas [CELULAR] no total)"
