#!/usr/bin/env bash
# Takes screenshots of a project's detail pane under a window manager (which draws a title bar
# above the window and keeps the window's least width), on a freshly written demonstration home
# under a virtual X server, in the light palette.
#
# At a 15 point application font, on screens of 1024 by 600 and 1366 by 768, the window at its
# least width: the first project's pane as it opens
# (OUTDIR/detail-1024x600-15pt-narrowest.png), then its Overview scrolled down to the token
# usage card (detail-1024x600-15pt-narrowest-usage.png) and to its end, the card's chart and
# token split (detail-1024x600-15pt-narrowest-end.png).
#
# At 20 points, on screens of 800 by 600 and 1024 by 600, the window as wide as the screen lets
# it be, with teammates (a stand-in team server's, as scripts/demo-team.sh runs it) on the
# project they share: its pane as it opens (detail-800x600-20pt-team.png), then scrolled down to
# the teammates' table (detail-800x600-20pt-team-table.png), which scrolls sideways on its own
# where it is wider than the pane.
#
# Every tile, the period picker's segments and the chart show whole; rows that do not fit wrap.
# Each prints the window's size.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/detail-screenshots.sh OUTDIR" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target palette_window demo_home_generator demo_team_server
mkdir -p "$outdir"

home=$(mktemp -d /tmp/tolvaran-detail-XXXXXX)
source scripts/lib/live-rollouts.sh
server=
trap 'kill "${holders[@]}" $server 2>/dev/null || true; rm -rf "$home"' EXIT
build/bench/bench/demo_home_generator "$home/home"
hold_live_rollouts "$home/home/live-rollouts.txt"

# Long enough for the first refresh, the pane's load, the token-usage pass and the team's
# first snapshot.
settle_seconds=7

# shoot WIDTH HEIGHT POINTS OUTFILE WHEEL_STEPS [team]: the window on a fresh copy of the home,
# on a screen of that size under openbox, at that text size, its pane open; without "team" the
# first project's, the window asked for 200 pixels (the window manager keeps its least width);
# with it, cobalt-ui's with the stand-in team's teammates, the window as it opens. The Overview
# is then scrolled down by WHEEL_STEPS steps.
shoot() {
  local width=$1 height=$2 points=$3 out=$4 steps=$5 team=${6:-} narrow=200
  local server_url=http://127.0.0.1:9 open=(--open-first-project)
  rm -rf "$home/run" && cp -a "$home/home" "$home/run"
  local run_env=(HOME="$home/run" XDG_DATA_HOME="$home/run/.local/share"
    XDG_CONFIG_HOME="$home/run/.config" CODEX_HOME="$home/run/.codex" XDG_RUNTIME_DIR="$home")
  if [ -n "$team" ]; then
    # The server stores the team's key in the home's settings before it writes its address.
    rm -f "$home/address"
    env "${run_env[@]}" build/bench/bench/demo_team_server "$home/address" &
    server=$!
    while [ ! -s "$home/address" ]; do
      kill -0 "$server" 2>/dev/null || { echo "the team server did not start" >&2; exit 1; }
      sleep 0.1
    done
    server_url=$(cat "$home/address")
    open=(--open-project cobalt-ui)
    narrow=
  fi
  env "${run_env[@]}" TOLVARAN_SERVER_URL="$server_url" TOLVARAN_FONT_POINTS="$points" \
    xvfb-run --auto-servernum --server-args="-screen 0 ${width}x${height}x24" \
    bash -c '
      settle=$1 out=$2 steps=$3 width=$4 height=$5 narrow=$6
      shift 6
      openbox &
      # Ready once it names its check window on the root.
      for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" && break
        sleep 0.1
      done
      "$@" -geometry +0+0 &
      app=$!
      sleep "$settle"
      window=$(xdotool search --onlyvisible --name "^Tolvaran\$" | head -1)
      eval "$(xdotool getwindowgeometry --shell "$window")"
      if [ -n "$narrow" ]; then
        xdotool windowsize "$window" "$narrow" "$HEIGHT"
        sleep 1
      fi
      eval "$(xdotool getwindowgeometry --shell "$window")"
      # Over the Overview, below the header and the tabs.
      xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * 3 / 4))
      for _ in $(seq "$steps"); do xdotool click 5; done
      xdotool mousemove $((width - 1)) $((height - 1))
      sleep 1
      import -window root "$out"
      echo "window ${WIDTH}x${HEIGHT}"
      kill "$app"
      wait "$app" || true
    ' screenshot "$settle_seconds" "$out" "$steps" "$width" "$height" "$narrow" \
    build/bench/bench/palette_window light "${open[@]}"
  if [ -n "$server" ]; then
    kill "$server"
    wait "$server" || true
    server=
  fi
  echo "wrote $out"
}

for screen in 1024x600 1366x768; do
  width=${screen%x*}
  height=${screen#*x}
  shot="$outdir/detail-$screen-15pt-narrowest"
  shoot "$width" "$height" 15 "$shot.png" 0
  shoot "$width" "$height" 15 "$shot-usage.png" 5
  shoot "$width" "$height" 15 "$shot-end.png" 40
done
for screen in 800x600 1024x600; do
  width=${screen%x*}
  height=${screen#*x}
  shot="$outdir/detail-$screen-20pt-team"
  shoot "$width" "$height" 20 "$shot.png" 0 team
  shoot "$width" "$height" 20 "$shot-table.png" 9 team
done
