#!/usr/bin/env bash
# Takes screenshots of the window at a 15 point application font (as a desktop set to larger
# text gives it), on a freshly written demonstration home under a virtual X server, in the
# Fusion style with a light and a dark palette: on screens of 800 by 600 and 1280 by 800, with
# the tag sidebar hidden and shown (OUTDIR/large-light-800x600.png,
# large-dark-1280x800-sidebar.png, ...). Every card chip shows, no text is cut, and the page
# bar and the status line are on screen. Then the grid scrolled to the lower half of the first
# cards at 1280 by 800 (large-light-1280x800-scrolled.png, ...).
#
# Then, under a window manager (which draws a title bar above the window), on the screens of
# small laptops, 1366 by 768 and 1024 by 600, at 10, 15 and 20 points, in the light palette
# (wm-1024x600-15pt.png, ...): the window as it opens, its frame and status line on screen,
# the list starting at its first card and the cards taking at least half of it (on a short
# window the bars above the cards are a scroll above them), and so the tag sidebar's "New tag"
# field where the sidebar shows (wm-...-sidebar.png); Tab then Shift+Tab as the window opens,
# which draw the focus ring on the control the opening gave the focus, in view, while the list
# stays on its first card (wm-1024x600-15pt-focus.png); the cards scrolled by six wheel steps
# (wm-1024x600-15pt-scrolled.png); and the window at its narrowest
# (wm-1024x600-15pt-narrowest.png), where nothing is cut and the usage figures wrap to a
# second row rather than lose their ends. Each of these prints where the window's frame ends
# on the screen.
#
# Last, under the window manager on the same screens and at the same sizes, the teams' join
# sheet as "Add Team" opens it (join-1024x600-20pt.png, ...): its frame, its close button,
# "Cancel" and "Save" on screen, the sharing notice wrapped, the form scrolling where the
# screen is short. Each prints where the sheet's frame lies on the screen. With --join-sheet
# the script takes these alone.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ] || { [ $# -eq 2 ] && [ "$2" != --join-sheet ]; }; then
  echo "usage: scripts/large-text-screenshots.sh OUTDIR [--join-sheet]" >&2
  exit 2
fi
only_join_sheet=${2:-}
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target palette_window demo_home_generator
mkdir -p "$outdir"

home=$(mktemp -d /tmp/tolvaran-large-XXXXXX)
source scripts/lib/live-rollouts.sh
trap 'kill "${holders[@]}" 2>/dev/null || true; rm -rf "$home"' EXIT
build/bench/bench/demo_home_generator "$home/home"
hold_live_rollouts "$home/home/live-rollouts.txt"

# Long enough for the first refresh, the token-usage pass and the git statuses.
settle_seconds=6
points=15
# None until the shots that ask for one.
window_manager=
# The window the shots under a window manager report on, and the program's own option.
reported='^Tolvaran$'
window_option=

# shoot PALETTE WIDTH HEIGHT OUTFILE [sidebar] [ACTIONS]: the window on a fresh copy of the
# home, filling a screen of that size (the window sits at its top left), its tag sidebar shown
# when asked; ACTIONS (xdotool commands) run before the shot, the pointer is then moved to the
# screen's corner, where it lights up nothing.
shoot() {
  local palette=$1 width=$2 height=$3 out=$4 sidebar=${5:-} actions=${6:-}
  rm -rf "$home/run" && cp -a "$home/home" "$home/run"
  if [ -n "$sidebar" ]; then
    local conf="$home/run/.config/Tolvaran/Tolvaran.conf"
    mkdir -p "$(dirname "$conf")"
    touch "$conf"
    if grep -q '^\[General\]' "$conf"; then
      sed -i '/^\[General\]/a projectTags.sidebarVisible=true' "$conf"
    else
      printf '[General]\nprojectTags.sidebarVisible=true\n\n' | cat - "$conf" > "$conf.new"
      mv "$conf.new" "$conf"
    fi
  fi
  HOME="$home/run" XDG_DATA_HOME="$home/run/.local/share" XDG_CONFIG_HOME="$home/run/.config" \
  CODEX_HOME="$home/run/.codex" XDG_RUNTIME_DIR="$home" TOLVARAN_SERVER_URL=http://127.0.0.1:9 \
  TOLVARAN_FONT_POINTS="$points" \
  xvfb-run --auto-servernum --server-args="-screen 0 ${width}x${height}x24" \
    bash -c '
      settle=$1 out=$2 actions=$3 corner=$4 wm=$5 screen_width=$6 screen_height=$7 reported=$8
      shift 8
      if [ -n "$wm" ]; then
        "$wm" &
        # Ready once it names its check window on the root.
        for _ in $(seq 100); do
          xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" && break
          sleep 0.1
        done
      fi
      "$@" -geometry +0+0 &
      app=$!
      sleep "$settle"
      eval "$actions"
      xdotool mousemove $corner
      sleep 0.5
      import -window root "$out"
      if [ -n "$wm" ]; then
        window=$(xdotool search --onlyvisible --name "$reported" | head -1)
        info=$(xwininfo -id "$window")
        value() { sed -n "s/^ *$1: *//p" <<< "$info"; }
        IFS=", " read -r left right top bottom \
          <<< "$(xprop -id "$window" _NET_FRAME_EXTENTS | sed "s/.*= //")"
        x=$(value "Absolute upper-left X")
        y=$(value "Absolute upper-left Y")
        echo "window $(value Width)x$(value Height), frame from $((x - left)),$((y - top))" \
          "to $((x + $(value Width) + right)),$((y + $(value Height) + bottom)) of the" \
          "screen'"'"'s ${screen_width}x$screen_height"
      fi
      kill "$app"
      wait "$app" || true
    ' screenshot "$settle_seconds" "$out" "$actions" "$((width - 1)) $((height - 1))" \
    "$window_manager" "$width" "$height" "$reported" build/bench/bench/palette_window "$palette" \
    $window_option
  echo "wrote $out"
}

screens_under_a_window_manager="1366x768 1024x600"

# The join sheet under the window manager, at each size on each screen.
shoot_join_sheets() {
  window_manager=openbox
  reported='^Team activity'
  window_option=--open-join-sheet
  for points in 10 15 20; do
    for screen in $screens_under_a_window_manager; do
      shoot light "${screen%x*}" "${screen#*x}" "$outdir/join-$screen-${points}pt.png"
    done
  done
}

if [ -n "$only_join_sheet" ]; then
  shoot_join_sheets
  exit 0
fi

for palette in light dark; do
  for screen in 800x600 1280x800; do
    width=${screen%x*}
    height=${screen#*x}
    shoot "$palette" "$width" "$height" "$outdir/large-$palette-$screen.png"
    shoot "$palette" "$width" "$height" "$outdir/large-$palette-$screen-sidebar.png" sidebar
  done
  # The lower half of the first cards: the grid scrolled by five wheel steps.
  shoot "$palette" 1280 800 "$outdir/large-$palette-1280x800-scrolled.png" "" \
    "xdotool mousemove 600 500 && for step in 1 2 3 4 5; do xdotool click 5; done && sleep 1"
done

window_manager=openbox
for points in 10 15 20; do
  for screen in $screens_under_a_window_manager; do
    width=${screen%x*}
    height=${screen#*x}
    shot="$outdir/wm-$screen-${points}pt"
    shoot light "$width" "$height" "$shot.png"
    shoot light "$width" "$height" "$shot-sidebar.png" sidebar
    shoot light "$width" "$height" "$shot-focus.png" "" \
      "xdotool key Tab && sleep 0.5 && xdotool key shift+Tab && sleep 0.5"
    shoot light "$width" "$height" "$shot-scrolled.png" "" \
      "xdotool mousemove $((width / 2)) $((height * 2 / 3)) \
       && for step in 1 2 3 4 5 6; do xdotool click 5; done && sleep 1"
    # Asked for 200 pixels, the window manager keeps the window's least width.
    shoot light "$width" "$height" "$shot-narrowest.png" "" \
      'window=$(xdotool search --onlyvisible --name "^Tolvaran\$" | head -1) \
       && eval "$(xdotool getwindowgeometry --shell "$window")" \
       && xdotool windowsize "$window" 200 "$HEIGHT" && sleep 1'
  done
done

shoot_join_sheets
