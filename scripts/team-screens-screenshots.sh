#!/usr/bin/env bash
# Screenshots of the team screens under a virtual X server, on a team of a local team server
# run inside the program (bench/team_screens_screenshot): the dashboard on each of its tabs,
# with no team selected, the leave question and the join sheet after a refused key
# (OUTDIR/team-dashboard-settings.png, ..., team-leave.png, team-join.png).
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/team-screens-screenshots.sh OUTDIR" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target team_screens_screenshot
mkdir -p "$outdir"
home=$(mktemp -d /tmp/tolvaran-team-shots-XXXXXX)
trap 'rm -rf "$home"' EXIT
HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
XDG_RUNTIME_DIR="$home" \
  xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" \
  build/bench/bench/team_screens_screenshot "$outdir"
