#!/usr/bin/env bash
# Installs Tolvaran as an application, or removes it again.
#
#   scripts/install.sh [--system | --prefix DIR] [--uninstall]
#
#   (nothing)      for you alone, under ~/.local
#   --system       for every user, under /usr/local: the build runs as you, the copy into
#                  /usr/local as root (directly when you are root, else through sudo; where
#                  you may not use sudo, it prints the commands for an administrator)
#   --prefix DIR   under DIR
#   --uninstall    removes what the install put under that prefix, instead of installing
#
# An install builds as scripts/run.sh does (build/release, installing the Debian packages
# that are missing first) and copies with `cmake --install --strip` (the build's debug
# information is 35 times the size of the program; cmake/TolvaranInstall.cmake says what
# goes where):
#   PREFIX/lib/Tolvaran/          the application folder, which an update replaces as a whole
#   PREFIX/bin/tolvaran           a link to PREFIX/lib/Tolvaran/bin/tolvaran
#   PREFIX/share/applications/com.ostvik.tolvaran.desktop
#   PREFIX/share/icons/hicolor/*/apps/com.ostvik.tolvaran.{png,svg}
# Running it again installs the current build over the installed copy; that is how a copy
# under /usr/local, which its users cannot replace, is updated.
set -euo pipefail
usage="usage: scripts/install.sh [--system | --prefix DIR] [--uninstall]"

prefix="$HOME/.local"
system=false
uninstall=false
while [ $# -gt 0 ]; do
  case "$1" in
    --system) system=true; prefix=/usr/local ;;
    --prefix) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; prefix=$2; shift ;;
    --uninstall) uninstall=true ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
prefix=$(realpath -m "$prefix")
cd "$(dirname "$0")/.."

# What writes under the prefix is gathered first, one command a line (quoted for a shell), and
# then run with the rights the prefix needs: directly when it is not the system's or you are
# root, else through sudo. Where sudo is missing or refuses, nothing runs: the script prints the
# whole list, with whole paths, for an administrator to run as root.
steps=()
# step COMMAND...: adds COMMAND to the list.
step() {
  local line
  line=$(printf '%q ' "$@")
  steps+=("${line% }")
}
run_steps() {
  local runner=() reason=
  if $system && [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      reason="there is no sudo here"
    elif ! sudo -v; then
      reason="sudo refused"
    fi
    runner=(sudo)
  fi
  if [ -n "$reason" ]; then
    echo "install: writing to $prefix needs root, and $reason; an administrator would run," \
      "as root:" >&2
    printf '  %s\n' "${steps[@]}" >&2
    exit 1
  fi
  local command
  for command in "${steps[@]}"; do
    eval "${runner[*]} $command"
  done
}

name=com.ostvik.tolvaran
folder="$prefix/lib/Tolvaran"

# The folders under /usr/local that hold what the install puts there are every user's. The
# install makes its own folders readable by all whatever the umask (see
# cmake/TolvaranInstall.cmake); this opens again those that an install before it, run under a
# umask of 077, left for root alone. It only adds read and search rights.
open_shared_folders() {
  $system || return 0
  local shared=()
  for candidate in "$prefix/bin" "$prefix/lib" "$prefix/share" "$prefix/share/applications" \
      "$prefix/share/icons" "$prefix/share/icons/hicolor" "$prefix"/share/icons/hicolor/*/ \
      "$prefix"/share/icons/hicolor/*/apps; do
    [ -d "$candidate" ] && [ ! -L "${candidate%/}" ] && shared+=("${candidate%/}")
  done
  [ ${#shared[@]} -eq 0 ] || step chmod go+rx "${shared[@]}"
}

if $uninstall; then
  # Every file and link the install made, the application folder as an update may have left
  # it (and the staged or backup copy of an update that was cut short), and the icon folders
  # left empty. Folders such as PREFIX/bin and PREFIX/share/applications are shared with other
  # programs and stay.
  files=()
  for file in "$prefix/share/applications/$name.desktop" \
      "$prefix"/share/icons/hicolor/*/apps/"$name".{png,svg}; do
    [ -e "$file" ] && files+=("$file")
  done
  link="$prefix/bin/tolvaran"
  if [ -L "$link" ] && [ "$(readlink "$link")" = ../lib/Tolvaran/bin/tolvaran ]; then
    files+=("$link")
  fi
  folders=()
  for candidate in "$folder" "$prefix"/lib/.Tolvaran.update-* "$prefix"/lib/.Tolvaran.backup-*; do
    [ -e "$candidate" ] && folders+=("$candidate")
  done
  if [ ${#files[@]} -eq 0 ] && [ ${#folders[@]} -eq 0 ]; then
    echo "install: Tolvaran is not in $prefix"
    exit 0
  fi
  [ ${#files[@]} -eq 0 ] || step rm -f "${files[@]}"
  [ ${#folders[@]} -eq 0 ] || step rm -rf "${folders[@]}"
  # Before the icon folders left empty go: it names them as they are now.
  open_shared_folders
  icons="$prefix/share/icons"
  if [ -d "$icons/hicolor" ]; then
    step find "$icons/hicolor" -depth -type d -empty -delete
    step rmdir --ignore-fail-on-non-empty "$icons"
  fi
  run_steps
  echo "install: removed Tolvaran from $prefix"
  exit 0
fi

scripts/setup.sh
cmake --preset release
cmake --build --preset release --target tolvaran
# cmake --install writes install_manifest.txt into the build folder; made here first, it stays
# yours when root rewrites it.
: > build/release/install_manifest.txt
step cmake --install "$PWD/build/release" --prefix "$prefix" --strip
open_shared_folders
run_steps
echo "install: Tolvaran is in $folder; start it from the applications menu," \
  "or as $prefix/bin/tolvaran"
