#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that the build needs, and only those that are
# missing. Safe to run again and again. By default only what building, installing and running
# the application needs (scripts/run.sh, scripts/install.sh); with --test, also what the tests,
# benchmarks, screenshots and the demonstration home need (scripts/test.sh and the other
# scripts); with --fuzz, also those of the "fuzz" preset (scripts/fuzz.sh). Run as root, or
# as a user who may use sudo; for anyone else it lists what is missing and the command an
# administrator would run.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config ccache git ca-certificates
  qt6-base-dev qt6-base-dev-tools qt6-websockets-dev qt6-charts-dev
  libqt6opengl6-dev libgl-dev libvulkan-dev libqt6svg6
  qt6-svg-dev zlib1g-dev # Markdown images: SVG drawn within a budget, svgz inflated within a limit
  libpng-dev # Markdown images: every PNG is read through it, no further than its last row
  qt6-image-formats-plugins # Markdown images: WebP is read through Qt's plug-in
  libseccomp-dev libfontconfig-dev # the picture decoder's sandbox, and the fonts it may read
  libsqlite3-dev
  libxcb1-dev # the panels' struts, read where Qt runs on X11
  libcmark-gfm-dev libcmark-gfm-extensions-dev
  libssl-dev # Ed25519 signatures of update releases
  librsvg2-bin # renders the icon's PNG sizes from its SVG
  fonts-dejavu-core adwaita-icon-theme
  xdg-utils # the program opens links and folders through xdg-open and xdg-mime
)

test_packages=(
  sqlite3
  desktop-file-utils # the install's test validates the desktop entry
  qt6-httpserver-dev # the tests' stand-in servers
  qt6-base-private-dev # the tests change the offscreen platform's screens as it runs
  libgtest-dev libgmock-dev
  xvfb xauth x11-utils imagemagick
  xdotool # the screenshots click and type in the window
  openbox # a window manager for the screenshots: its title bar takes room from small screens
  clang-14 # CI compiles every source with a second compiler too
  libjpeg62-turbo-dev # the tests write arithmetic-coded JPEG files, which Qt's writer does not
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

# Where this user cannot install: what is missing, and the one command for an administrator.
cannot_install() {
  echo "setup: these Debian packages are missing: ${missing[*]}" >&2
  echo "setup: $1; an administrator would run, as root:" >&2
  echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
  exit 1
}

# sudo passes on no environment of its own accord: the front end is set through env, so that
# no package stops to ask a question.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || cannot_install "installing them needs root, and there is no sudo"
  apt=(sudo "${apt[@]}")
fi
echo "setup: installing ${missing[*]}"
"${apt[@]}" update -qq || cannot_install "apt-get update did not run"
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
