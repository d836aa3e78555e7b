#!/usr/bin/env bash
# Starts Tolvaran on the demonstration home (scripts/demo-home.sh) with a local stand-in team
# server, so that the team features show without an account: one team, "Design Systems",
# whose teammates work on cobalt-ui (Grace, connected, on the same file from another commit;
# Mira, disconnected), and a commit Grace pushes a few seconds after the window connects.
# Everything the run writes (the home, the team key, the program's settings) stays in DIR, or
# in a temporary folder removed afterwards when no DIR is given. The server listens on
# 127.0.0.1 only and ends with the program.
#   usage: scripts/demo-team.sh [DIR]
set -euo pipefail
if [ $# -gt 1 ]; then
  echo "usage: scripts/demo-team.sh [DIR]" >&2
  exit 2
fi
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target tolvaran demo_home_generator demo_team_server

work=$(mktemp -d /tmp/tolvaran-team-demo-XXXXXX)
server=
trap '[ -z "$server" ] || kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
home=$(realpath -m "${1:-$work/home}")
[ -d "$home/.codex" ] || build/bench/bench/demo_home_generator "$home"

export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
  CODEX_HOME="$home/.codex"
# The server stores the team's key in the home's settings before it writes its address.
build/bench/bench/demo_team_server "$work/address" &
server=$!
while [ ! -s "$work/address" ]; do
  kill -0 "$server" 2>/dev/null || { echo "the team server did not start" >&2; exit 1; }
  sleep 0.1
done
TOLVARAN_SERVER_URL=$(cat "$work/address") build/bench/src/tolvaran
