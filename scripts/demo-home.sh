#!/usr/bin/env bash
# Writes a demonstration home into DIR (which must be empty or missing): forty projects with
# real git repositories and a bare remote each, a Codex folder with chats, token usage,
# processing and unread chats, and tags. It is for Tolvaran only: the Codex command-line tool
# does not open its thread database. scripts/demo.sh DIR starts Tolvaran on it (and writes it
# first when DIR holds none).
# Its processing chats show as processing only while something has their rollout files open,
# as a running Codex does: DIR/live-rollouts.txt lists them, and scripts/demo.sh holds them
# open while the program runs.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/demo-home.sh DIR" >&2
  exit 2
fi
target=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target demo_home_generator
build/bench/bench/demo_home_generator "$target"
