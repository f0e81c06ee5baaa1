#!/usr/bin/env bash
# Fails when a file under src/ includes a header from a layer above its own.
# The layers, lowest first; folders on one line are peers and may not include
# each other. A folder may always include its own headers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

layers=(
  "platform/system"
  "platform/filters"
  "platform/media"
  "platform/ui"
  "imaging"
  "settings"
  "render preview"
  "editor batch"
  "app cli"
)

declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

# The layer folder a path under src/ belongs to ("platform/media" for
# src/platform/media/MovieReader.cpp, "render" for src/render/VideoTools.h).
folder_of() {
  local path="$1"
  case "$path" in
    platform/*) echo "${path%%/*}/$(cut -d/ -f2 <<<"$path")" ;;
    *) echo "${path%%/*}" ;;
  esac
}

violations=0
cd "$root/src"
while IFS= read -r file; do
  own="$(folder_of "$file")"
  [ -n "${rank[$own]+set}" ] || { echo "$file: folder '$own' has no layer in scripts/check-layers.sh"; violations=$((violations + 1)); continue; }
  while IFS= read -r included; do
    target="$(folder_of "$included")"
    [ -n "${rank[$target]+set}" ] || continue   # not one of ours (a library header)
    [ "$target" = "$own" ] && continue
    if (( rank[$target] >= rank[$own] )); then
      echo "$file includes $included: '$target' is not below '$own'"
      violations=$((violations + 1))
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's#^\./##' | sort)

if (( violations )); then
  echo "$violations include(s) reach up a layer"
  exit 1
fi
echo "layers: every include points down"
