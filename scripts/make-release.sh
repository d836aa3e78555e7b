#!/usr/bin/env bash
# Makes a signed release of a build, laid out as the update server serves it:
#   OUTDIR/v1/app/update                      the release manifest
#   OUTDIR/v1/app/releases/VERSION/download   the release archive (Tolvaran/ as tar.gz)
# and prints the public key of PRIVATE_KEY, which a build must be configured with
# (-DTOLVARAN_RELEASE_PUBLIC_KEY=...) to accept the release.
#
# usage: scripts/make-release.sh BUILD_DIR PRIVATE_KEY OUTDIR
#   BUILD_DIR    a configured and built tree (build/release): the application folder its
#                install makes (the program, application.json, the desktop entry and the
#                icons; see scripts/install.sh), and the version from its CMakeCache.txt
#   PRIVATE_KEY  an Ed25519 private key in PEM (openssl genpkey -algorithm ed25519 -out key.pem)
#
# To try the release path by hand: configure a build with the key printed here and an older
# project version, install it (scripts/install.sh, or cmake --install with a prefix of your
# choice), make a release of a newer build, serve OUTDIR
# (python3 -m http.server -b 127.0.0.1 -d OUTDIR 8765) and run the installed program with
# TOLVARAN_SERVER_URL=http://127.0.0.1:8765.
set -euo pipefail
if [ $# -ne 3 ]; then
  sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
build=$(realpath "$1")
key=$(realpath "$2")
outdir=$(realpath -m "$3")

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
if ! [[ "$version" =~ ^[0-9]{2}\.[0-9]{1,2}\.[0-9]+$ ]]; then
  echo "make-release: no release version in $build/CMakeCache.txt: '$version'" >&2
  exit 1
fi
if [ ! -x "$build/src/tolvaran" ]; then
  echo "make-release: $build/src/tolvaran is missing; build it first" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The release is the application folder exactly as scripts/install.sh makes it.
cmake --install "$build" --prefix "$work/prefix" --strip >/dev/null
mv "$work/prefix/lib/Tolvaran" "$work/Tolvaran"
app="$work/Tolvaran"

# The folder's canonical listing, as the program computes it before it trusts a release: one
# line per entry but the signature file, sorted by path bytes, tab-separated:
#   d <path> | f <x or -> <sha256> <path> | l <path> <target>
listing() {
  (cd "$1" && find . -mindepth 1 ! -path ./application.signature -print0 | LC_ALL=C sort -z |
    while IFS= read -r -d '' entry; do
      path=${entry#./}
      if [ -L "$entry" ]; then
        printf 'l\t%s\t%s\n' "$path" "$(readlink "$entry")"
      elif [ -d "$entry" ]; then
        printf 'd\t%s\n' "$path"
      elif [ -f "$entry" ]; then
        if [ -n "$(find "$entry" -maxdepth 0 -perm -u=x)" ]; then x=x; else x=-; fi
        printf 'f\t%s\t%s\t%s\n' "$x" "$(sha256sum < "$entry" | cut -d' ' -f1)" "$path"
      else
        echo "make-release: cannot release $path (not a file, folder or link)" >&2
        exit 1
      fi
    done)
}
listing "$app" > "$work/listing"
openssl pkeyutl -sign -rawin -inkey "$key" -in "$work/listing" -out "$work/signature"
base64 -w0 "$work/signature" > "$app/application.signature"
echo >> "$app/application.signature"

release="$outdir/v1/app/releases/$version"
mkdir -p "$release"
tar --create --gzip --file "$release/download" --directory "$work" --owner=0 --group=0 \
  --numeric-owner --sort=name Tolvaran
size=$(stat -c %s "$release/download")
sha256=$(sha256sum "$release/download" | cut -d' ' -f1)
printf '{\n    "version": "%s",\n    "sha256": "%s",\n    "size": %s,\n' \
  "$version" "$sha256" "$size" > "$outdir/v1/app/update"
printf '    "downloadPath": "/v1/app/releases/%s/download",\n    "publishedAt": "%s"\n}\n' \
  "$version" "$(date -u +%Y-%m-%dT%H:%M:%SZ)" >> "$outdir/v1/app/update"

public_key=$(openssl pkey -in "$key" -pubout -outform DER | tail -c 32 | od -An -tx1 |
  tr -d ' \n')
echo "release $version: $release/download ($size bytes)"
echo "public key: $public_key"
