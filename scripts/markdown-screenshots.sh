#!/usr/bin/env bash
# Screenshots of the Markdown view under a virtual X server, in the default theme, light and
# dark: OUTDIR/markdown-light.png and OUTDIR/markdown-dark.png, of FILE or (without one) the
# showcase document that holds every block and inline kind.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: scripts/markdown-screenshots.sh OUTDIR [FILE]" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
file=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target markdown_view_screenshot
mkdir -p "$outdir"
for scheme in light dark; do
  flag=()
  [ "$scheme" = dark ] && flag=(--dark)
  xvfb-run --auto-servernum --server-args="-screen 0 1024x1600x24" \
    build/release/bench/markdown_view_screenshot "$outdir/markdown-$scheme.png" "${flag[@]}" \
    ${file:+"$file"}
  echo "wrote $outdir/markdown-$scheme.png"
done
