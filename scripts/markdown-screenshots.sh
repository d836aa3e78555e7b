#!/usr/bin/env bash
# Screenshots of the Markdown view under a virtual X server, light and dark, in each theme
# asked for (all three by default): OUTDIR/markdown-THEME-SCHEME.png, of FILE, of the README-
# like document (badges, a table, a picture and code; its images are files in a temporary
# image base folder) when FILE is "--readme", of a "Before | After" table of two 800 by 500
# screenshots ("--before-after"), of a table with a 300-letter word beside a short column and
# of short header words over a long hash and token ("--long-word"), or of the showcase
# document that holds every block and inline kind without one; the view is 860 pixels wide
# unless --width says.
#   scripts/markdown-screenshots.sh OUTDIR [FILE | --readme | --before-after | --long-word]
#                                   [--theme basic|github|documentation] [--width N]
set -euo pipefail
usage() {
  echo "usage: scripts/markdown-screenshots.sh OUTDIR" \
    "[FILE | --readme | --before-after | --long-word] [--theme NAME] [--width N]" >&2
  exit 2
}
[ $# -ge 1 ] || usage
outdir=$(realpath -m "$1")
shift
source=()
size=()
themes=(basic github documentation)
while [ $# -gt 0 ]; do
  case "$1" in
    --readme | --before-after | --long-word) source=("$1") ;;
    --theme) [ $# -ge 2 ] || usage; themes=("$2"); shift ;;
    --width) [ $# -ge 2 ] || usage; size=(--width "$2"); shift ;;
    *) source=("$(realpath "$1")") ;;
  esac
  shift
done
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target markdown_view_screenshot
mkdir -p "$outdir"
for theme in "${themes[@]}"; do
  for scheme in light dark; do
    flag=()
    [ "$scheme" = dark ] && flag=(--dark)
    out="$outdir/markdown-$theme-$scheme.png"
    xvfb-run --auto-servernum --server-args="-screen 0 1024x1600x24" \
      build/bench/bench/markdown_view_screenshot "$out" --theme "$theme" "${flag[@]}" \
      ${size[@]+"${size[@]}"} ${source[@]+"${source[@]}"}
    echo "wrote $out"
  done
done
