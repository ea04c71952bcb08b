#!/usr/bin/env bash
# Builds Pixmoor in build/, makes sample pictures in samples/ (existing files
# there are kept) and starts the program there: it lists the folder it is
# started in.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
# Only what is run here, so a test that does not build yet cannot stop it.
cmake --build build --target pixmoor make-samples
build/tools/make-samples/make-samples samples
cd samples
exec ../build/pixmoor
