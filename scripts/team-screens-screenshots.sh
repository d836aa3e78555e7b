#!/usr/bin/env bash
# Screenshots of the team screens under a virtual X server, on a team of a local team server
# run inside the program (bench/team_screens_screenshot): the dashboard on each of its tabs,
# with no team selected, the leave question and the join sheet after a refused key
# (OUTDIR/team-dashboard-settings.png, ..., team-leave.png, team-join.png), and the dashboard's
# tabs 400, 500 and 800 pixels wide (team-dashboard-400-settings.png, ...); in the light
# palette, then the dark one (OUTDIR/dark/...), then the light one at a 15 point application
# font (OUTDIR/15pt/...).
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
# shoot OUTDIR [dark]: one run of the program on a fresh home.
shoot() {
  rm -rf "$home/run" && mkdir -p "$home/run" "$1"
  HOME="$home/run" XDG_DATA_HOME="$home/run/.local/share" \
  XDG_CONFIG_HOME="$home/run/.config" XDG_RUNTIME_DIR="$home" \
    xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" \
    build/bench/bench/team_screens_screenshot "$@"
}
shoot "$outdir"
shoot "$outdir/dark" dark
TOLVARAN_FONT_POINTS=15 shoot "$outdir/15pt"
