#!/usr/bin/env bash
# Installs the Debian packages Pixmoor needs to build, and with --test also
# those its tests and checks need. Only missing packages are installed; when
# nothing is missing, nothing is run. Works as root, or through sudo.
#
#   scripts/install-deps.sh          build packages
#   scripts/install-deps.sh --test   build and test packages
set -euo pipefail

# libseccomp-dev and pkg-config: the decoder process's system call filter.
packages=(build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev zlib1g-dev fonts-ipafont-gothic
  libseccomp-dev pkg-config)
# qt6-image-formats-plugins: decoders (TIFF, WebP, TGA...) that tests check the
# loader never hands a file to.
# dpkg-dev, file and lintian: building the .deb with cpack (dpkg-shlibdeps
# finds its dependencies) and checking it.
# g++-mingw-w64-x86-64-posix, mingw-w64-tools, wine64, unzip and fonts-dejavu-core: the Windows
# build (scripts/build-windows.sh), its tests under Wine and its zip's check.
# libglib2.0-bin: gio, GLib's reader of the shared thumbnail cache, which the
# tests ask whether it accepts the thumbnails the program writes.
# fuse3, python3-fusepy and libx11-dev: the slow and dead file system
# (tools/slowfs) and the ping watcher (bench/pingwatch.c) of the frozen-window tests.
# colord-data: ICC profiles (ProPhoto, Adobe RGB...) that tests tag pictures with.
# valgrind: memcheck, which .ci/run replays the fuzz targets' saved inputs under.
# clang-format: .ci/run checks the code's format with it.
test_packages=(xvfb xauth xdotool x11-utils imagemagick python3 fuse3 python3-fusepy libx11-dev desktop-file-utils appstream clang libclang-rt-14-dev qt6-image-formats-plugins
  dpkg-dev file lintian libglib2.0-bin colord-data valgrind clang-format
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 unzip fonts-dejavu-core)

for arg in "$@"; do
  case "$arg" in
    --test) packages+=("${test_packages[@]}") ;;
    -h|--help)
      sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
      exit 0 ;;
    *)
      echo "install-deps: unknown argument: $arg" >&2
      exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q ' installed$'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all ${#packages[@]} packages are installed"
  exit 0
fi

if ((EUID == 0)); then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: missing ${missing[*]}; run as root or install sudo" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
echo "install-deps: installed ${missing[*]}"
