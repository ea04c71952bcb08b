#!/usr/bin/env bash
# Installs a built tree into a scratch folder and checks what lands there:
# the program, the desktop entry, the icons, the AppStream metainfo, the
# manual page, the copyright file and the changelog. The desktop entry and the
# metainfo are validated with desktop-file-validate and appstreamcli when
# present, and must name the same picture types.
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
  grep -qx "Exec=pixmoor %F" "$desktop" || fail "the desktop entry does not start bin/pixmoor with the files"
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

# Every MIME type of the picture formats the program opens, as the formats'
# table lists them (the last column).
if [[ -f $desktop && -f $metainfo ]]; then
  desktop_types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
  metainfo_types=$(sed -n 's|^ *<mediatype>\(.*\)</mediatype>$|\1|p' "$metainfo" | sort)
  table=$(dirname "$0")/../runtime/pictures/PictureFormats.table
  table_types=$(awk -F'|' '!/^#/ && NF == 10 { print $10 }' "$table" | tr ' ' '\n' | sed '/^$/d' | sort)
  [[ -n $table_types ]] || fail "no MIME type read from $table"
  for type in $table_types; do
    grep -qx "$type" <<<"$desktop_types" || fail "the desktop entry does not open $type"
  done
  [[ $desktop_types == "$metainfo_types" ]] ||
    fail "the desktop entry's MimeType and the metainfo's mediatype lists differ"
  grep -q "<project_license>MIT</project_license>" "$metainfo" || fail "the metainfo names no MIT project licence"
fi

man_page=$root/usr/share/man/man1/pixmoor.1.gz
if [[ ! -f $man_page ]]; then
  fail "manual page missing: $man_page"
elif ! gzip -dc "$man_page" | grep -q '^\.TH PIXMOOR 1 '; then
  fail "$man_page is not a section 1 manual page"
elif command -v man >/dev/null; then
  # Warnings from groff (bad macros, lines that do not fit) come out on stderr.
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man_page" 2>&1 >/dev/null || echo "man failed")
  [[ -z $warnings ]] || fail "man reports on $man_page: $warnings"
fi
doc=$root/usr/share/doc/pixmoor
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" 2>/dev/null ||
  fail "copyright file missing or not in the machine-readable format: $doc/copyright"
gzip -t "$doc/changelog.Debian.gz" 2>/dev/null || fail "changelog missing or not gzip: $doc/changelog.Debian.gz"

if ((failures > 0)); then
  exit 1
fi
echo "install-check: all files in place"
