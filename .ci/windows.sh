#!/usr/bin/env bash
# The Windows stage of continuous integration: cross-builds the program and
# its tests (scripts/build-windows.sh), runs the tests under Wine on the
# offscreen platform with the same expectations as on Linux, and checks the
# zip. Run by .ci/run; alone:  .ci/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

scripts/build-windows.sh --test build-windows

scratch="$(mktemp -d)"
export WINEPREFIX="$scratch/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '/usr/lib/wine/wineserver -k || true; rm -rf "$scratch"' EXIT
# A Western locale, so that Japanese names are outside the ANSI code page.
export LC_ALL=C.UTF-8
# One Wine server for the whole stage, not one started for each program.
mkdir "$WINEPREFIX"
/usr/lib/wine/wineserver -p
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
# Wine hands a program no QT_* variable of the shell; its own environment, in
# the registry, does. The offscreen platform reads fonts from one folder: the
# Japanese one the captions use, and a Latin one.
mkdir "$scratch/fonts"
ln -s /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$scratch/fonts"
/usr/lib/wine/wine64 reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d "Z:${scratch//\//\\}\\fonts" /f >/dev/null 2>&1

# A program without a console window answers --version in the one it was
# started from.
version="$(/usr/lib/wine/wine64 build-windows/pixmoor.exe --version | tr -d '\r')"
if [[ $version != "Pixmoor $(sed -n 's/^project(Pixmoor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ]]; then
  echo "ci: pixmoor.exe --version printed '$version'" >&2
  exit 1
fi

# One at a time: Wine is slower than a native run, and two programs at once
# can outlast a test's few seconds of waiting for a list's thumbnails.
rm -f build-windows/tests/tst_*.txt
if ! ctest --test-dir build-windows --output-on-failure -LE e2e -E e2e_build; then
  grep -h -B1 -A4 -E '^(FAIL|QFATAL)' build-windows/tests/tst_*.txt >&2 || true
  exit 1
fi

zip=(build-windows/pixmoor-*-windows-x86_64.zip)
listing="$(unzip -Z1 "${zip[0]}" | sed 's|^[^/]*/||' | sort | tr '\n' ' ')"
# The decoder sits beside the program, where the program looks for it.
if [[ $listing != "LICENSE README.txt pixmoor-decoder.exe pixmoor.exe " ]]; then
  echo "ci: the zip holds: $listing" >&2
  exit 1
fi
echo "== windows stage: $(du -k "${zip[0]}" | cut -f1) KiB zip, $((SECONDS - start)) s"
