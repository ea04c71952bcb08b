#!/usr/bin/env bash
# Installs a built tree into a scratch folder and checks what lands there:
# the program, the desktop entry, the icons and the AppStream metainfo, the
# last two validated with desktop-file-validate and appstreamcli when present.
#
#   packaging/check-install.sh BUILD_DIR APP_ID
set -euo pipefail

build=$1
id=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

cmake --install "$build" --prefix "$root/usr" >/dev/null

failures=0
fail() {
  echo "install-check: $*" >&2
  failures=$((failures + 1))
}

[[ -x $root/usr/bin/pixmoor ]] || fail "bin/pixmoor missing or not executable"

desktop=$root/usr/share/applications/$id.desktop
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
[[ -f $desktop ]] || fail "desktop entry missing: $desktop"
[[ -f $metainfo ]] || fail "metainfo missing: $metainfo"

for size in 16 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
  if [[ ! -f $icon ]]; then
    fail "icon missing: $icon"
    continue
  fi
  # PNG signature, then the IHDR chunk: width and height as 32-bit big-endian.
  signature=$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')
  read -r width height < <(tail -c +17 "$icon" | head -c 8 | od -An -tu1 |
    awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
  [[ $signature == 89504e470d0a1a0a && $width == "$size" && $height == "$size" ]] ||
    fail "icon $icon is not a ${size}x${size} PNG"
done

if [[ -f $desktop ]]; then
  grep -qx "Exec=pixmoor" "$desktop" || fail "the desktop entry does not start bin/pixmoor"
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  else
    echo "install-check: desktop-file-validate not installed, entry not validated"
  fi
fi
if [[ -f $metainfo ]]; then
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
  else
    echo "install-check: appstreamcli not installed, metainfo not validated"
  fi
fi

if ((failures > 0)); then
  exit 1
fi
echo "install-check: all files in place"
