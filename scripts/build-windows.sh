#!/usr/bin/env bash
# Cross-builds Pixmoor for 64-bit Windows on Debian with the static Qt and zlib
# in ../shared/windows (see its README.md): one pixmoor.exe with Qt, its
# plugins and the MinGW runtime linked in, and with --test the test programs.
# Ends with the zip a Windows user unpacks: build-windows/pixmoor-<version>-windows-x86_64.zip.
#
#   scripts/build-windows.sh [--test] [build folder]    (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."

testing=OFF
build=build-windows
for arg in "$@"; do
  case "$arg" in
    --test) testing=ON ;;
    -*) echo "build-windows: unknown option: $arg" >&2; exit 2 ;;
    *) build=$arg ;;
  esac
done

windows="$(realpath ../shared/windows)"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
fi
# ctest runs the test programs through Wine. A unity build, as in test.sh.
cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=$testing -DCMAKE_UNITY_BUILD=ON "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$windows/mingw-w64.cmake" \
  -DCMAKE_PREFIX_PATH="$windows/qt-6.4.2-mingw64-static" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DZLIB_LIBRARY="$windows/zlib-mingw64/lib/libz.a" -DZLIB_INCLUDE_DIR="$windows/zlib-mingw64/include" \
  -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64

# Only what the zip and the tests need: not the benchmark, nor the tools.
targets=(pixmoor)
if [[ $testing == ON ]]; then
  mapfile -t replays < <(sed -n 's/^pixmoor_fuzz_target(\([a-z]*\) .*/\1_replay/p' fuzz/CMakeLists.txt)
  targets+=(pixmoor_tests tools-check "${replays[@]}")
fi
nice cmake --build "$build" -j2 --target "${targets[@]}"
(cd "$build" && cpack -G ZIP)
