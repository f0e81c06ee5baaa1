#!/usr/bin/env bash
# Checks what a desktop and a package manager see of Tintreel, each with the
# validator made for it: the desktop entry, the AppStream metainfo (offline)
# and the Debian package (lintian, no errors allowed). Installs into a
# temporary prefix first, so the checks see the installed files, not the
# sources. Expects a finished build in build/ (or $BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml
for page in "$prefix"/share/man/man1/*.1.gz; do
  # man's own checker: no warnings about the page's markup
  problems="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
  [ -z "$problems" ] || { echo "$page: $problems"; exit 1; }
done

deb="$(bash "$root/scripts/package.sh" | tail -n 1)"
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb"
echo "desktop entry, metainfo, man pages and $(basename "$deb") are valid"
