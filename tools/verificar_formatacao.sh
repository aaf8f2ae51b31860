#!/usr/bin/env bash
# Fails when any of our C++ files differs from what clang-format makes of it.
set -euo pipefail
formatador=${1:-clang-format}
mapfile -t arquivos < <(find src tests bench tools -name '*.h' -o -name '*.cpp' | sort)
"$formatador" --dry-run --Werror "${arquivos[@]}"
