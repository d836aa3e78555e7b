#!/usr/bin/env bash
# Takes screenshots of the window on a freshly written demonstration home, 1280, 800 and 500
# pixels wide, under a virtual X server: OUTDIR/tolvaran-1280.png and so on.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/screenshots.sh OUTDIR" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tolvaran demo_home_generator
mkdir -p "$outdir"

home=$(mktemp -d /tmp/tolvaran-demo-XXXXXX)
trap 'rm -rf "$home"' EXIT
build/release/bench/demo_home_generator "$home/home"

# Long enough for the first refresh, the token-usage pass and the git statuses.
settle_seconds=6
height=800
for width in 1280 800 500; do
  # A fresh copy per run, so that every screenshot starts from the same state.
  rm -rf "$home/run" && cp -a "$home/home" "$home/run"
  HOME="$home/run" XDG_DATA_HOME="$home/run/.local/share" XDG_CONFIG_HOME="$home/run/.config" \
  CODEX_HOME="$home/run/.codex" XDG_RUNTIME_DIR="$home" \
  xvfb-run --auto-servernum --server-args="-screen 0 ${width}x${height}x24" \
    bash -c '
      build/release/src/tolvaran -geometry "$1x$2+0+0" &
      app=$!
      sleep "$3"
      import -window root "$4"
      kill "$app"
      wait "$app" || true
    ' screenshot "$width" "$height" "$settle_seconds" "$outdir/tolvaran-$width.png"
  echo "wrote $outdir/tolvaran-$width.png"
done
