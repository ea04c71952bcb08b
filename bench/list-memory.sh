#!/bin/sh
# The program's memory on a big folder, as a user meets it, without waiting
# for every thumbnail (which takes minutes at 100,000 files): the real program
# in Xvfb, the main window once its folder is listed, the peak while the
# thumbnail list is open ('一覧表示' chosen from the file list's menu with
# xdotool, then SECONDS of building), and 3 s after closing it. Resident size
# of the program itself, and the proportional size of it and its decoders.
#
#   bench/list-memory.sh BUILD_DIR FOLDER [SECONDS]     # e.g. build ../scans-100000 25
#
# Needs what user-level.sh installs (Xvfb, xdotool, the X11 headers).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd) folder=$(cd "$2" && pwd) seconds=${3:-25}
work=$(mktemp -d)
trap 'kill $(cat "$work"/pids 2>/dev/null) 2>/dev/null || true; rm -rf "$work"' EXIT
. "$here/xserver.sh"
export XDG_CACHE_HOME="$work/cache"

own() { awk '/^VmRSS:/ { printf "%.0f", $2 / 1024 }' "/proc/$pid/status"; }
pss() { tree "$pid" | sed 's|.*|/proc/&/smaps_rollup|' | xargs cat 2>/dev/null | awk '/^Pss:/ { s += $2 } END { printf "%.0f", s / 1024 }'; }

(cd "$folder" && exec "$build/pixmoor") >/dev/null 2>&1 &
pid=$!; echo $pid >>"$work/pids"
set -- $("$work/xwatch" where name:Pixmoor 20)
# Listed when the pane's busy pointer has gone: its size stops changing.
last=-1
while [ "$(own)" != "$last" ]; do last=$(own); sleep 2; done
echo "main window: ${last} MB own, $(pss) MB with its decoders (proportional)"
# File1's first row, as in user-level.sh.
xdotool mousemove $(($2 + 38)) $(($3 + $5 - 248 + 136)) mousedown 3 mouseup 3
sleep 0.5
xdotool key Down
sleep 0.3
xdotool key Return
"$work/xwatch" where "name:画像の一覧表示" 60 >/dev/null || { echo "no list" >&2; exit 1; }
peak=0 ppeak=0
for i in $(seq $((seconds * 2))); do
    sleep 0.5
    o=$(own) p=$(pss)
    [ "$o" -le "$peak" ] || peak=$o
    [ "$p" -le "$ppeak" ] || ppeak=$p
done
echo "list open ${seconds} s: peak ${peak} MB own, ${ppeak} MB with its decoders"
"$work/xwatch" close "name:画像の一覧表示" 10
sleep 3
echo "3 s after closing: $(own) MB own, $(pss) MB with its decoders"
