#!/usr/bin/env bash
# Writes a demonstration home into DIR (which must be empty or missing): forty projects with
# real git repositories and a bare remote each, a Codex folder with chats, token usage,
# processing and unread chats, and tags. Start Tolvaran on it with:
#   HOME=DIR XDG_DATA_HOME=DIR/.local/share XDG_CONFIG_HOME=DIR/.config \
#     CODEX_HOME=DIR/.codex scripts/run.sh
# Its processing chats show as processing only while something has their rollout files open,
# as a running Codex does; to see them so, first run (it keeps them open for an hour):
#   while read -r f; do sleep 3600 3>>"$f" & done < DIR/live-rollouts.txt
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/demo-home.sh DIR" >&2
  exit 2
fi
target=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target demo_home_generator
build/release/bench/demo_home_generator "$target"
