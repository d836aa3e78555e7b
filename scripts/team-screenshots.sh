#!/usr/bin/env bash
# Takes screenshots of the team features under a virtual X server, on a freshly written
# demonstration home with the stand-in team server of scripts/demo-team.sh: the browser once
# the team has connected and Grace's commit has arrived (OUTDIR/tolvaran-team-1280.png: the
# cobalt-ui card's overlap, the footer's team state, the commit banner), the team filter open
# (tolvaran-team-filter.png), the list filtered to the team (tolvaran-team-filtered.png) and
# the overlap label's tooltip naming both teammates (tolvaran-team-overlap.png), and cobalt-ui's
# detail pane: the teammates' usage at its top (tolvaran-team-detail.png), then scrolled down to
# "What Teammates See" and the team's activity (tolvaran-team-detail-activity.png).
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/team-screenshots.sh OUTDIR" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target palette_window demo_home_generator demo_team_server
mkdir -p "$outdir"

work=$(mktemp -d /tmp/tolvaran-team-shots-XXXXXX)
trap 'rm -rf "$work"' EXIT
build/bench/bench/demo_home_generator "$work/home"

# Long enough for the first refresh, the git statuses, the team's scan and Grace's commit.
settle_seconds=10
width=1280
height=800
# Where the team filter sits at 1280 pixels, and the item of the team in its open list.
filter_x=390
filter_y=151
team_item_y=199
# Where the cobalt-ui card's overlap label sits.
overlap_x=677
overlap_y=568
# Where the cobalt-ui card's "Details" button sits, and how many wheel steps bring the pane's
# team activity into view.
details_x=780
details_y=720
activity_scroll_steps=10

# shoot OUTFILE [ACTIONS]: starts the team server and the window on a fresh copy of the home,
# waits for them to settle, runs ACTIONS (xdotool commands in window coordinates) and takes
# the screenshot.
shoot() {
  rm -rf "$work/run" "$work/address" && cp -a "$work/home" "$work/run"
  HOME="$work/run" XDG_DATA_HOME="$work/run/.local/share" XDG_CONFIG_HOME="$work/run/.config" \
  CODEX_HOME="$work/run/.codex" XDG_RUNTIME_DIR="$work" \
  xvfb-run --auto-servernum --server-args="-screen 0 ${width}x${height}x24" \
    bash -c '
      width=$1 height=$2 settle=$3 out=$4 actions=$5 address=$6
      build/bench/bench/demo_team_server "$address" &
      server=$!
      while [ ! -s "$address" ]; do sleep 0.1; done
      TOLVARAN_SERVER_URL=$(cat "$address") build/bench/bench/palette_window light \
        -geometry "${width}x${height}+0+0" &
      app=$!
      sleep "$settle"
      eval "$actions"
      import -window root "$out"
      kill "$app" "$server"
      wait "$app" "$server" || true
    ' screenshot "$width" "$height" "$settle_seconds" "$1" "${2:-}" "$work/address"
  echo "wrote $1"
}

shoot "$outdir/tolvaran-team-1280.png"
shoot "$outdir/tolvaran-team-filter.png" \
  "xdotool mousemove $filter_x $filter_y click 1 && sleep 1"
shoot "$outdir/tolvaran-team-filtered.png" \
  "xdotool mousemove $filter_x $filter_y click 1 && sleep 1 &&
   xdotool mousemove $filter_x $team_item_y click 1 && sleep 2"
shoot "$outdir/tolvaran-team-overlap.png" \
  "xdotool mousemove $overlap_x $overlap_y && sleep 2"
shoot "$outdir/tolvaran-team-detail.png" \
  "xdotool mousemove $details_x $details_y click 1 && sleep 3"
shoot "$outdir/tolvaran-team-detail-activity.png" \
  "xdotool mousemove $details_x $details_y click 1 && sleep 3 &&
   xdotool mousemove 640 500 click --repeat $activity_scroll_steps 5 && sleep 1"
