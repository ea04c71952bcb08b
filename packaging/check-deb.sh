#!/usr/bin/env bash
# Builds the Debian package from a built tree into a scratch folder and runs
# lintian on it: any error or warning fails. Also checks what lintian cannot
# know: the package version is the changelog's, and the compressed changelog
# and manual page carry no name or time stamp (gzip -n), so that two builds
# of the same sources give the same files.
#
#   packaging/check-deb.sh BUILD_DIR SOURCE_DIR
#
# When lintian is missing it is installed through scripts/install-deps.sh if
# that can run without a password prompt. If it still cannot be had, the check
# fails under CI (CI=true) and is skipped (exit 77) elsewhere.
set -euo pipefail

build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)

have_tools() { command -v lintian >/dev/null && command -v dpkg-parsechangelog >/dev/null; }

if ! have_tools; then
  if ((EUID == 0)) || sudo -n true 2>/dev/null; then
    "$source_dir/scripts/install-deps.sh" --test >&2 || true
  fi
fi
if ! have_tools; then
  if [[ ${CI:-} == true ]]; then
    echo "deb-check: lintian or dpkg-dev is missing and could not be installed" >&2
    exit 1
  fi
  echo "deb-check: lintian is not installed (scripts/install-deps.sh --test installs it); skipped"
  exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  echo "deb-check: cpack failed" >&2
  exit 1
fi
debs=("$scratch"/pixmoor_*.deb)
if [[ ! -f ${debs[0]} ]]; then
  cat "$scratch/cpack.log" >&2
  echo "deb-check: cpack made no pixmoor_*.deb" >&2
  exit 1
fi
deb=${debs[0]}
echo "deb-check: built $(basename "$deb")"

failures=0
fail() {
  echo "deb-check: $*" >&2
  failures=$((failures + 1))
}

changelog_version=$(dpkg-parsechangelog -l "$source_dir/packaging/changelog" -S Version)
package_version=$(dpkg-deb -f "$deb" Version)
[[ $package_version == "$changelog_version" ]] ||
  fail "the package is version $package_version, the changelog's latest entry $changelog_version"

# gzip -n leaves the header's name flag (byte 3, bit 3) clear and its time
# stamp (bytes 4 to 7) zero.
dpkg-deb -x "$deb" "$scratch/root"
for gz in usr/share/doc/pixmoor/changelog.Debian.gz usr/share/man/man1/pixmoor.1.gz; do
  file=$scratch/root/$gz
  if [[ ! -f $file ]]; then
    fail "$gz is not in the package"
    continue
  fi
  read -r flags mtime < <(head -c 8 "$file" | od -An -tu1 | awk '{ print $4, $5 + $6 + $7 + $8 }')
  [[ $((flags & 8)) == 0 && $mtime == 0 ]] || fail "$gz carries a file name or time stamp (not gzip -n)"
done

echo "deb-check: lintian $(lintian --version | awk '{ print $2 }')"
if ! lintian --info --display-info --fail-on error,warning "$deb"; then
  fail "lintian reports errors or warnings"
fi

if ((failures > 0)); then
  exit 1
fi
echo "deb-check: lintian reports no error and no warning"
