#!/usr/bin/env bash
# Takes screenshots of a project's detail pane at the window's least width, at a 15 point
# application font, under a window manager (which draws a title bar above the window and keeps
# the window's least width), on a freshly written demonstration home under a virtual X server,
# in the light palette. On screens of 1024 by 600 and 1366 by 768: the first project's pane as
# it opens, narrowed (OUTDIR/detail-1024x600-15pt-narrowest.png), then its Overview scrolled
# down to the token usage card (detail-1024x600-15pt-narrowest-usage.png) and to its end, the
# card's chart and token split (detail-1024x600-15pt-narrowest-end.png). Every tile, the period
# picker's segments and the chart show whole; rows that do not fit wrap. Each prints the
# window's size.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/detail-screenshots.sh OUTDIR" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target palette_window demo_home_generator
mkdir -p "$outdir"

home=$(mktemp -d /tmp/tolvaran-detail-XXXXXX)
source scripts/lib/live-rollouts.sh
trap 'kill "${holders[@]}" 2>/dev/null || true; rm -rf "$home"' EXIT
build/bench/bench/demo_home_generator "$home/home"
hold_live_rollouts "$home/home/live-rollouts.txt"

# Long enough for the first refresh, the pane's load and the token-usage pass.
settle_seconds=7
points=15

# shoot WIDTH HEIGHT OUTFILE WHEEL_STEPS: the window on a fresh copy of the home, on a screen of
# that size under openbox, its pane open and the window asked for 200 pixels (the window
# manager keeps its least width); the Overview then scrolled down by WHEEL_STEPS steps.
shoot() {
  local width=$1 height=$2 out=$3 steps=$4
  rm -rf "$home/run" && cp -a "$home/home" "$home/run"
  HOME="$home/run" XDG_DATA_HOME="$home/run/.local/share" XDG_CONFIG_HOME="$home/run/.config" \
  CODEX_HOME="$home/run/.codex" XDG_RUNTIME_DIR="$home" TOLVARAN_SERVER_URL=http://127.0.0.1:9 \
  TOLVARAN_FONT_POINTS="$points" \
  xvfb-run --auto-servernum --server-args="-screen 0 ${width}x${height}x24" \
    bash -c '
      settle=$1 out=$2 steps=$3 width=$4 height=$5
      shift 5
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
      xdotool windowsize "$window" 200 "$HEIGHT"
      sleep 1
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
    ' screenshot "$settle_seconds" "$out" "$steps" "$width" "$height" \
    build/bench/bench/palette_window light --open-first-project
  echo "wrote $out"
}

for screen in 1024x600 1366x768; do
  width=${screen%x*}
  height=${screen#*x}
  shot="$outdir/detail-$screen-${points}pt-narrowest"
  shoot "$width" "$height" "$shot.png" 0
  shoot "$width" "$height" "$shot-usage.png" 5
  shoot "$width" "$height" "$shot-end.png" 40
done
