#!/usr/bin/env bash
# Makes the Debian package as a user would (cpack -G DEB) and checks it: its name, its files,
# its fields (Depends worked out from the program's libraries, libmpv among them) and that
# Debian's lintian finds no error in it.
# Usage: check_package.sh BUILD_DIR APP_ID VERSION
set -euo pipefail
build=$1 id=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
done

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || fail "cpack: $(tail -5 "$work/cpack.log")"
arch=$(dpkg --print-architecture)
deb=$work/velkaf_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work")"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/files"
for f in usr/bin/velkaf usr/share/velkaf/KORU.sys "usr/share/applications/$id.desktop" \
         "usr/share/metainfo/$id.metainfo.xml" "usr/share/mime/packages/$id.xml" \
         "usr/share/icons/hicolor/48x48/apps/$id.png" usr/share/doc/velkaf/copyright usr/share/man/man1/velkaf.1.gz; do
  grep -qx "$f" "$work/files" || fail "$f is not in the package: $(cat "$work/files")"
done
cat "$work/files"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = velkaf ] && [ "$(field Version)" = "$version" ] && [ "$(field Architecture)" = "$arch" ] ||
  fail "package, version or architecture: $(field Package) $(field Version) $(field Architecture)"
depends=$(field Depends)
echo "Depends: $depends"
for lib in 'libmpv2 (>= 0.35)' libqt6widgets6 libqt6dbus6 libtag1v5 libc6 libstdc++6; do
  grep -qF "$lib" <<<"$depends" || fail "Depends lacks $lib"
done
[[ "$(field Maintainer)" == *@* ]] || fail "no maintainer address: $(field Maintainer)"
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description: $(field Description)"

# No error (the package's own tags of lower severity are printed for the reader).
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || fail "lintian: $(cat "$work/lintian")"
grep -v '^running with root' "$work/lintian" || true
echo "package checks passed"
