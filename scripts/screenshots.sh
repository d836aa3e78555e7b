#!/usr/bin/env bash
# Takes screenshots of the window on a freshly written demonstration home under a virtual X
# server, in the Fusion style with a light and a dark palette (bench/palette_window): 1280, 800
# and 500 pixels wide with the tag sidebar hidden and shown (OUTDIR/tolvaran-dark-800.png,
# tolvaran-dark-800-sidebar.png, ...), a card's chat menu open (tolvaran-light-chat-menu.png)
# and the rename dialog (tolvaran-light-rename.png); then two of the controls at work:
# tolvaran-1280-tags-search.png (the tag sidebar shown, a search typed) and
# tolvaran-500-options.png (the options menu open).
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/screenshots.sh OUTDIR" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target palette_window demo_home_generator
mkdir -p "$outdir"

home=$(mktemp -d /tmp/tolvaran-demo-XXXXXX)
trap 'rm -rf "$home"' EXIT
build/bench/bench/demo_home_generator "$home/home"

# Long enough for the first refresh, the token-usage pass and the git statuses.
settle_seconds=6
# Where the first card's chat menu button and rename button lie at 1280 pixels.
chat_menu_x=149
chat_menu_y=415
rename_x=171
rename_y=215
height=800

# shoot WIDTH OUTFILE [ACTIONS]: starts the window on a fresh copy of the home (so that every
# screenshot starts from the same state), waits for it to settle, runs ACTIONS (xdotool
# commands, in window coordinates: the window sits at the screen's top left) and takes the
# screenshot.
# shoot PALETTE WIDTH FILE [XDOTOOL-COMMANDS]
shoot() {
  local palette=$1
  shift
  rm -rf "$home/run" && cp -a "$home/home" "$home/run"
  HOME="$home/run" XDG_DATA_HOME="$home/run/.local/share" XDG_CONFIG_HOME="$home/run/.config" \
  CODEX_HOME="$home/run/.codex" XDG_RUNTIME_DIR="$home" \
  xvfb-run --auto-servernum --server-args="-screen 0 ${1}x${height}x24" \
    bash -c '
      build/bench/bench/palette_window "$6" -geometry "$1x$2+0+0" &
      app=$!
      sleep "$3"
      eval "$5"
      import -window root "$4"
      kill "$app"
      wait "$app" || true
    ' screenshot "$1" "$height" "$settle_seconds" "$2" "${3:-}" \
    "$palette"
  echo "wrote $2"
}

sidebar='xdotool mousemove 28 151 click 1 && sleep 1'
for palette in light dark; do
  for width in 1280 800 500; do
    shoot "$palette" "$width" "$outdir/tolvaran-$palette-$width.png"
    shoot "$palette" "$width" "$outdir/tolvaran-$palette-$width-sidebar.png" "$sidebar"
  done
  shoot "$palette" 1280 "$outdir/tolvaran-$palette-chat-menu.png" \
    "xdotool mousemove $chat_menu_x $chat_menu_y click 1 && sleep 1"
  shoot "$palette" 1280 "$outdir/tolvaran-$palette-rename.png" \
    "xdotool mousemove $rename_x $rename_y click 1 && sleep 1"
done

shoot light 1280 "$outdir/tolvaran-1280-tags-search.png" '
  xdotool mousemove 28 151 click 1 && sleep 1
  xdotool mousemove 96 777 click 1 && xdotool type --delay 80 "client WORK"
  xdotool mousemove 202 777 click 1 && sleep 1
  xdotool mousemove 760 78 click 1 && xdotool type --delay 80 "api" && sleep 2'
shoot light 500 "$outdir/tolvaran-500-options.png" '
  xdotool mousemove 193 151 click 1 && sleep 1'
