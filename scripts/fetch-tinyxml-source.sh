#!/usr/bin/env bash
# Usage: scripts/fetch-tinyxml-source.sh DESTDIR
#
# Unpacks Debian's tinyxml source package (with Debian's patches applied by dpkg-source)
# into DESTDIR and prints the path of the unpacked source directory on stdout. Does nothing
# but print that path when DESTDIR already holds an unpacked tree. Needs deb-src entries in
# apt's sources and dpkg-dev (scripts/setup.sh sets up both).
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 DESTDIR" >&2
  exit 2
fi

mkdir -p "$1"
dest=$(cd "$1" && pwd)

find_tree() {
  local d
  for d in "$dest"/tinyxml-*/; do
    if [ -f "${d}tinyxml.cpp" ] && [ -f "${d}tinyxmlparser.cpp" ]; then
      echo "${d%/}"
      return 0
    fi
  done
  return 1
}

if tree=$(find_tree); then
  echo "$tree"
  exit 0
fi

if ! command -v dpkg-source >/dev/null 2>&1; then
  echo "$0: dpkg-source not found (install dpkg-dev, see scripts/setup.sh)" >&2
  exit 1
fi

# Unpack into a scratch folder first so that an interrupted run never leaves a
# half-unpacked tree that a later run would take for a complete one.
work=$(mktemp -d "$dest/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && apt-get source -q tinyxml) >&2; then
  echo "$0: 'apt-get source tinyxml' failed; are deb-src entries configured and" \
       "'apt-get update' run? (scripts/setup.sh does both)" >&2
  exit 1
fi

unpacked=
for d in "$work"/tinyxml-*/; do
  [ -f "${d}tinyxml.cpp" ] && unpacked=${d%/}
done
if [ -z "$unpacked" ]; then
  echo "$0: no unpacked tinyxml tree found after 'apt-get source'" >&2
  exit 1
fi

name=$(basename "$unpacked")
rm -rf "${dest:?}/$name"
mv "$unpacked" "$dest/$name"
echo "$dest/$name"
