#!/usr/bin/env bash
# Starts Tolvaran on a demonstration home in DIR, written first (scripts/demo-home.sh) when DIR
# holds none. The program is built as scripts/run.sh builds it (build/release) and only the
# program sees the demonstration home: HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and CODEX_HOME
# point into DIR, so its catalog, caches and settings stay there. While it runs, the home's
# processing chats have their rollout files held open, as a running Codex holds them, so they
# show as processing; they are let go when the program ends. Any further arguments are
# handed to the program.
#   usage: scripts/demo.sh DIR [ARGUMENTS...]
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: scripts/demo.sh DIR [ARGUMENTS...]" >&2
  exit 2
fi
home=$(realpath -m "$1")
shift
cd "$(dirname "$0")/.."
[ -d "$home/.codex" ] || scripts/demo-home.sh "$home"

scripts/setup.sh
cmake --preset release
cmake --build --preset release --target tolvaran

source scripts/lib/live-rollouts.sh
trap '[ ${#holders[@]} -eq 0 ] || kill "${holders[@]}" 2>/dev/null || true' EXIT
hold_live_rollouts "$home/live-rollouts.txt"

HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
CODEX_HOME="$home/.codex" build/release/src/tolvaran "$@"
