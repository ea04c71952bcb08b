#!/usr/bin/env bash
# Builds Pixmoor with its tests in build/ and runs them headless; exits
# non-zero when a test fails. Arguments are passed on to ctest, e.g.
#   ./test.sh -R tst_runtime      ./test.sh -j2
# Tests that need a real X server start their own Xvfb.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh --test
# A unity build (CMakeLists.txt says how the sources are batched): half the
# time of a build from scratch.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DCMAKE_UNITY_BUILD=ON
cmake --build build

export QT_QPA_PLATFORM=offscreen
# Qt wants a private runtime folder; give it one when the session has none.
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
  XDG_RUNTIME_DIR="$(mktemp -d)"
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
ctest --test-dir build --output-on-failure "$@"
