#!/usr/bin/env bash
# Screenshots of a project's detail pane with teammates under a virtual X server, light and
# dark: OUTDIR/team-detail-light.png and team-detail-dark.png (1280 wide), and
# team-detail-narrow-light.png (600 wide).
#   scripts/team-detail-screenshots.sh OUTDIR
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/team-detail-screenshots.sh OUTDIR" >&2
  exit 2
fi
outdir=$(realpath -m "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake --preset bench >/dev/null
cmake --build --preset bench --target team_detail_screenshot
mkdir -p "$outdir"
shoot() {
  xvfb-run --auto-servernum --server-args="-screen 0 1400x1700x24" \
    build/bench/bench/team_detail_screenshot "$@"
  echo "wrote $1"
}
shoot "$outdir/team-detail-light.png" light
shoot "$outdir/team-detail-dark.png" dark
shoot "$outdir/team-detail-narrow-light.png" light 600 1600
