#!/usr/bin/env bash
# Takes a picture of the player as a user sees it: starts build/velkaf on a virtual X display
# with a media file, waits while it plays, captures the screen and crops the 321 x 92 player
# window into docs/screenshot.png. With QT_SCALE_FACTOR set (1.5, 2 ...) the player draws for a
# screen of that scale and the crop is its window in device pixels (642 x 184 at 2).
#
# Usage: tools/screenshot.sh MEDIA_FILE [SECONDS [OUTPUT]]
#   SECONDS  how long to let it play before the capture (default 5)
#   OUTPUT   where the PNG goes (default docs/screenshot.png)
# VELKAF_BINARY names another build of the player (default build/velkaf).
# The player runs with a fresh settings folder (VELKAF_HOME), so nothing of yours is used or
# changed. Installs Xvfb, xauth, ImageMagick and x11-utils when they are missing.
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  # Under xvfb-run: run the player, find its window, capture, crop.
  shift
  media=$1 seconds=$2 output=$3 binary=$4
  "$binary" "$media" >/dev/null 2>&1 &
  player=$!
  sleep "$seconds"
  # The player's window is the one of 321 x 92 logical pixels, each edge rounded to a whole
  # device pixel; its last "+x+y" is its place on the screen.
  size=$(awk -v s="${QT_SCALE_FACTOR:-1}" 'BEGIN { printf "%dx%d", int(321 * s + 0.5), int(92 * s + 0.5) }')
  place=$(xwininfo -root -tree |
    awk -v size="$size" '{for (i = 1; i < NF; ++i) if (index($i, size "+") == 1) print $(i + 1)}' | head -n 1)
  shot=$(mktemp --suffix=.png)
  import -window root "$shot"
  kill "$player" 2>/dev/null || true
  wait "$player" 2>/dev/null || true
  if [ -z "$place" ]; then
    echo "no $size player window found on the screen" >&2
    rm -f "$shot"
    exit 1
  fi
  x=$(echo "$place" | cut -d+ -f2)
  y=$(echo "$place" | cut -d+ -f3)
  convert "$shot" -crop "${size}+${x}+${y}" +repage "$output"
  rm -f "$shot"
  echo "wrote $output (player at $x, $y)"
  exit 0
fi

cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
  echo "usage: tools/screenshot.sh MEDIA_FILE [SECONDS [OUTPUT]]" >&2
  exit 2
fi
media=$(realpath "$1")
seconds=${2:-5}
output=$(realpath -m "${3:-docs/screenshot.png}")
[ -f "$media" ] || { echo "no such media file: $1" >&2; exit 2; }
binary=$(realpath -m "${VELKAF_BINARY:-build/velkaf}")
[ -x "$binary" ] || { echo "$binary is missing: build the player first (./run.sh)" >&2; exit 1; }

missing=()
for tool in xvfb-run:xvfb xauth:xauth import:imagemagick convert:imagemagick xwininfo:x11-utils; do
  command -v "${tool%%:*}" >/dev/null 2>&1 || missing+=("${tool#*:}")
done
# A stand-in convert that is not ImageMagick's does not crop.
convert -version 2>/dev/null | grep -q ImageMagick || missing+=(imagemagick)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq >/dev/null
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends $(printf '%s\n' "${missing[@]}" | sort -u) >/dev/null
  hash -r
fi
if ! convert -version 2>/dev/null | grep -q ImageMagick; then
  PATH=/usr/bin:$PATH  # ImageMagick's own convert before any stand-in earlier in PATH
fi

mkdir -p "$(dirname "$output")"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
VELKAF_HOME=$home xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  "$0" --inside "$media" "$seconds" "$output" "$binary"
