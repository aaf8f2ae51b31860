#!/usr/bin/env bash
# The announcer's voice: synthesis speed and the delay to the first sample.
set -euo pipefail
construcao=${1:-build-bench}
"$construcao/bench/ljsn-voz"
