#!/usr/bin/env bash
# Takes screenshots of the window on a freshly written demonstration home under a virtual X
# server, in the Fusion style with a light and a dark palette (bench/palette_window): 1280, 800
# and 500 pixels wide with the tag sidebar hidden and shown (OUTDIR/tolvaran-dark-800.png,
# tolvaran-dark-800-sidebar.png, ...), a card's chat menu open (tolvaran-light-chat-menu.png)
# and the rename dialog (tolvaran-light-rename.png); then two of the controls at work:
# tolvaran-1280-tags-search.png (the tag sidebar shown, a search typed) and
# tolvaran-500-options.png (the options menu open); a project's detail pane on each of its
# Overview, Recent Commits and Recent Chats tabs, 1280 and 500 pixels wide
# (tolvaran-1280-detail-overview.png and so on), its token-usage chart over 30 days and 24
# hours (tolvaran-1280-detail-usage-days.png, -hours.png) and its Markdown Files tab
# (tolvaran-1280-detail-markdown.png); and the update control: an update offered
# (tolvaran-1280-update.png), one being installed in a narrow window
# (tolvaran-600-update-working.png) and a failed one (tolvaran-1280-update-failed.png).
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/screenshots.sh OUTDIR" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target tolvaran palette_window demo_home_generator \
  demo_update_server demo_badge_server
mkdir -p "$outdir"

home=$(mktemp -d /tmp/tolvaran-demo-XXXXXX)
source scripts/lib/live-rollouts.sh
trap 'kill "${holders[@]}" 2>/dev/null || true; rm -rf "$home"' EXIT
build/bench/bench/demo_home_generator "$home/home"
# The demo's live chats stay open for the whole run (the killed one does not).
hold_live_rollouts "$home/home/live-rollouts.txt"

# Long enough for the first refresh, the token-usage pass and the git statuses.
settle_seconds=6
# Where the first card's chat menu button and rename button lie at 1280 pixels.
chat_menu_x=149
chat_menu_y=415
rename_x=171
rename_y=215
# In the detail pane at 1280 pixels (1100 high): the token-usage period's "24 Hours", the
# Markdown Files tab, and the README's row in its list.
hours_segment="1108 374"
markdown_tab="505 113"
readme_row="60 220"
height=800
# The update server the program asks: by default a local port where nothing listens, so no
# screenshot reaches the network (the check fails quietly and nothing is offered).
no_server=http://127.0.0.1:9
server_url=$no_server
# The program: the window in a chosen palette, or (for the update shots) an installed copy.
program=(build/bench/bench/palette_window)

# shoot PALETTE WIDTH OUTFILE [ACTIONS]: starts the window on a fresh copy of the home (so that
# every screenshot starts from the same state), waits for it to settle, runs ACTIONS (xdotool
# commands, in window coordinates: the window sits at the screen's top left) and takes the
# screenshot.
shoot() {
  local palette=$1
  shift
  local command=("${program[@]}")
  [ "${command[0]}" = build/bench/bench/palette_window ] && command+=("$palette")
  rm -rf "$home/run" && cp -a "$home/home" "$home/run"
  HOME="$home/run" XDG_DATA_HOME="$home/run/.local/share" XDG_CONFIG_HOME="$home/run/.config" \
  CODEX_HOME="$home/run/.codex" XDG_RUNTIME_DIR="$home" TOLVARAN_SERVER_URL="$server_url" \
  xvfb-run --auto-servernum --server-args="-screen 0 ${1}x${height}x24" \
    bash -c '
      width=$1 height=$2 settle=$3 out=$4 actions=$5
      shift 5
      "$@" -geometry "${width}x${height}+0+0" &
      app=$!
      sleep "$settle"
      eval "$actions"
      import -window root "$out"
      kill "$app"
      wait "$app" || true
    ' screenshot "$1" "$height" "$settle_seconds" "$2" "${3:-}" "${command[@]}"
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
# 500 wide: the options menu, which stands in for the sort pop-up and the archive check box.
shoot light 500 "$outdir/tolvaran-500-options.png" '
  xdotool mousemove 193 151 click 1 && sleep 1'

# The detail pane of the second card (delta-sync, one commit behind its upstream), opened with
# its Details button; then the tab is chosen by a click on the tab bar. Coordinates are the
# window's at each width (at 500 the header puts its actions below the name, so the tabs sit
# lower).
detail_shots() {
  local width=$1 details=$2 commits_tab=$3 chats_tab=$4
  local open="xdotool mousemove $details click 1 && sleep 2"
  shoot light "$width" "$outdir/tolvaran-$width-detail-overview.png" "$open"
  shoot light "$width" "$outdir/tolvaran-$width-detail-commits.png" \
    "$open && xdotool mousemove $commits_tab click 1 && sleep 1"
  shoot light "$width" "$outdir/tolvaran-$width-detail-chats.png" \
    "$open && xdotool mousemove $chats_tab click 1 && sleep 1"
}
detail_shots 1280 "780 415" "210 113" "370 113"
detail_shots 500 "404 675" "200 148" "355 148"

# The same pane in a taller window, so that its token-usage card shows below the tiles: the
# chart of 30 days as the pane opens and of 24 hours once chosen; then its Markdown Files tab
# showing the project's README, whose badges the demo badge server answers on 127.0.0.1.
height=1100
open_details="xdotool mousemove 780 415 click 1 && sleep 2"
shoot light 1280 "$outdir/tolvaran-1280-detail-usage-days.png" "$open_details"
shoot light 1280 "$outdir/tolvaran-1280-detail-usage-hours.png" \
  "$open_details && xdotool mousemove $hours_segment click 1 && sleep 1"
build/bench/bench/demo_badge_server "$home/badges" &
badge_server=$!
holders+=("$badge_server")
# Without the server (its port taken) the badges are left out and the shot is still taken.
while [ ! -s "$home/badges" ] && kill -0 "$badge_server" 2>/dev/null; do sleep 0.1; done
shoot light 1280 "$outdir/tolvaran-1280-detail-markdown.png" \
  "$open_details && xdotool mousemove $markdown_tab click 1 && sleep 1 &&
   xdotool mousemove $readme_row click 1 && sleep 2"
kill "$badge_server" 2>/dev/null || true
wait "$badge_server" || true
height=800

# The update control. The program runs from an installed application folder (so that an
# installation may go ahead) and asks a stand-in update server that offers release 26.9.1.
mkdir -p "$home/apps/Tolvaran/bin"
cp build/bench/src/tolvaran "$home/apps/Tolvaran/bin/tolvaran"
printf '{"identifier": "com.ostvik.tolvaran", "version": "26.8.70"}\n' \
  > "$home/apps/Tolvaran/application.json"
program=("$home/apps/Tolvaran/bin/tolvaran")
# start_update_server stall|missing: the download never answers, or answers 404.
start_update_server() {
  rm -f "$home/address"
  build/bench/bench/demo_update_server "$home/address" "$1" &
  update_server=$!
  while [ ! -s "$home/address" ]; do sleep 0.1; done
  server_url=$(cat "$home/address")
}
stop_update_server() {
  kill "$update_server"
  wait "$update_server" || true
  server_url=$no_server
}
start_update_server stall
shoot light 1280 "$outdir/tolvaran-1280-update.png"
# 600 wide (the short label), the update button clicked: the download stalls, so it stays at
# work.
shoot light 600 "$outdir/tolvaran-600-update-working.png" '
  xdotool mousemove 508 44 click 1 && sleep 1'
stop_update_server
start_update_server missing
shoot light 1280 "$outdir/tolvaran-1280-update-failed.png" '
  xdotool mousemove 1175 44 click 1 && sleep 2'
stop_update_server
