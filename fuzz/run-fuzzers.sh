#!/usr/bin/env bash
# Runs each fuzz target for a bounded time, starting from its seeds (and, for
# the loader and the header readers, the picture corpora beside the
# repository when present). An input that makes a target crash, hang or run
# out of memory is kept under fuzz/regressions/<target>/, where ctest replays
# it from then on, and the script fails.
#
#   fuzz/run-fuzzers.sh BUILD_DIR [SECONDS] [TARGET...]
#       SECONDS in all (default 60): half to the loader, an eighth to each of
#       the others; TARGET... runs those only, SECONDS each.
set -euo pipefail
build=$(cd "$1" && pwd)
total=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/../../shared/corpus"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

targets=("${@:3}")
((${#targets[@]})) || targets=(loader headers exif cacheentry text)

status=0
for target in "${targets[@]}"; do
  if ((${#targets[@]} == 1)); then seconds=$total; elif [[ $target == loader ]]; then seconds=$((total / 2)); else seconds=$((total / 8)); fi
  mkdir -p "$work/$target" "$work/$target-found"
  cp "$here/seeds/$target"/* "$work/$target/"
  [[ $target == headers ]] && cp "$here/seeds/loader"/* "$here/seeds/exif"/* "$work/$target/"
  if [[ $target =~ ^(loader|headers)$ && -d $corpus ]]; then
    find "$corpus" -type f \( -name '*.bmp' -o -name '*.gif' \) -exec cp -t "$work/$target/" {} +
  fi
  echo "fuzz_$target: $seconds s from $(ls "$work/$target" | wc -l) seeds"
  failed=0
  # A 30-byte GIF may ask for the largest canvas the limits allow (a screen of
  # 63750 x 2048 took 20 s with the sanitizers on a busy 2-core machine): an
  # input is slow only past a minute, where a loop without end is caught still.
  # libFuzzer keeps any input past 10 s as a slow unit otherwise.
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=60 -report_slow_units=60 -rss_limit_mb=3072 \
    -max_len=65536 \
    -artifact_prefix="$work/$target-found/" -print_final_stats=1 "$work/$target" >"$work/$target.log" 2>&1 || failed=1
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|DONE' "$work/$target.log" | sed "s/^/fuzz_$target: /" || true
  mkdir -p "$here/regressions/$target"
  for found in "$work/$target-found"/*; do
    [[ -e $found ]] || continue
    cp "$found" "$here/regressions/$target/"
    # Printed too, for CI runs whose files are thrown away: base64 -d restores it.
    echo "fuzz_$target: kept $(basename "$found") in fuzz/regressions/$target/; base64:"
    base64 -w 0 "$found" | head -c 100000
    echo
    failed=1
  done
  if ((failed)); then
    tail -n 60 "$work/$target.log"
    status=1
  fi
done
exit $status
