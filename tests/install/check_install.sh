#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop sees: every file in its
# place, the menu entry and the metadata valid, our file types known, and an installed player
# that keeps its files under $XDG_CONFIG_HOME/velkaf, never in its prefix.
# Usage: check_install.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 id=$2
work=$(mktemp -d)
trap 'kill "${player:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/velkaf share/velkaf/KORU.sys "share/applications/$id.desktop" \
         "share/metainfo/$id.metainfo.xml" "share/mime/packages/$id.xml"; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -f "$icon" ] || fail "no ${size}px icon"
  file "$icon" | grep -q "PNG image data, $size x $size" || fail "the ${size}px icon is $(file -b "$icon")"
done

desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null || fail "appstreamcli validate"
grep -qx 'Exec=velkaf %F' "$prefix/share/applications/$id.desktop" || fail "Exec is not 'velkaf %F'"

# Our types are what shared-mime-info makes of the package, and the entry claims them.
update-mime-database "$prefix/share/mime" || fail "update-mime-database"
grep -q 'audio/x-velkaf-playlist:\*\.tsr' "$prefix/share/mime/globs" || fail ".tsr is not audio/x-velkaf-playlist"
grep -q 'MimeType=.*audio/x-velkaf-playlist;' "$prefix/share/applications/$id.desktop" || fail "no .tsr in the entry"

# The installed player, started from the menu with a writable prefix, writes only its config.
home=$work/home config=$home/config
mkdir -p "$config"
(cd "$work" && exec env -u VELKAF_HOME HOME="$home" XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=offscreen \
   VELKAF_LOG=1 "$prefix/bin/velkaf" 2>"$work/log") &
player=$!
for _ in $(seq 200); do grep -q 'first tick done' "$work/log" && break; sleep 0.1; done
grep -q 'first tick done' "$work/log" || fail "the installed player did not start: $(tail -5 "$work/log")"
kill -TERM "$player"
wait "$player" || fail "the installed player ended with $?"
for f in KORU.CFG KORU.sys KORU.tsr; do
  [ -f "$config/velkaf/$f" ] || fail "$f is not in \$XDG_CONFIG_HOME/velkaf"
done
[ "$(ls "$prefix/bin")" = velkaf ] || fail "the player wrote into its prefix: $(ls "$prefix/bin")"
echo "install checks passed"
