#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that the build needs, and only those that are
# missing. Safe to run again and again. By default only what building and running the
# application needs (scripts/run.sh); with --test, also what the tests, benchmarks, screenshots
# and the demonstration home need (scripts/test.sh and the other scripts); with --fuzz, also
# those of the "fuzz" preset (scripts/fuzz.sh).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git ca-certificates
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-websockets-dev qt6-charts-dev
  libqt6opengl6-dev libgl-dev libvulkan-dev libqt6svg6
  qt6-svg-dev zlib1g-dev # Markdown images: SVG drawn within a budget, svgz inflated within a limit
  libsqlite3-dev
  libcmark-gfm-dev libcmark-gfm-extensions-dev
  libssl-dev # Ed25519 signatures of update releases
  fonts-dejavu-core adwaita-icon-theme
)

test_packages=(
  ccache sqlite3
  qt6-httpserver-dev # the tests' stand-in servers
  libgtest-dev libgmock-dev
  xvfb xauth x11-utils imagemagick
  xdotool # the screenshots click and type in the window
  clang-14 # CI compiles every source with a second compiler too
)

for argument in "$@"; do
  case "$argument" in
    --test) packages+=("${test_packages[@]}") ;;
    # clang builds the fuzz targets; libclang-rt-14-dev holds libFuzzer and clang's sanitizer
    # runtimes.
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    *) echo "usage: scripts/setup.sh [--test] [--fuzz]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
