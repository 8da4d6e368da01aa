#!/usr/bin/env bash
# Makes a fresh Wine prefix for running Velmora's Windows programs:
#   bash tests/e2e-windows/prepare_prefix.sh <folder>
# Joysticks through SDL are switched off (their device scan slows every
# start), and no Mono or Gecko installer is offered (nothing here needs
# them). Takes several seconds; returns once Wine has settled.
set -euo pipefail
[[ $# -eq 1 ]] || { echo "usage: $0 <prefix-folder>" >&2; exit 2; }
export WINEPREFIX=$1 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v "Enable SDL" /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
[[ -f "$WINEPREFIX/system.reg" ]] || { echo "wineboot made no prefix in $WINEPREFIX" >&2; exit 1; }
