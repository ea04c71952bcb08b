#!/bin/sh
# The thumbnail list timed as a user meets it: the real program in a real X
# server (Xvfb), '一覧表示' chosen from the file list's menu with xdotool, the
# clock started at the key press that chooses it, and the first cell's box read
# back from the server every 15 ms (bench/xwatch.c: one XGetImage of the box)
# until it holds many colours. Then the wheel, all thumbnails done (the process
# idle), one arrow key (Right and Left in turn, 20 each, from the key press to
# the current cell's frame moved: median), and memory from /proc: before
# opening, the peak, 3 s after closing, each the sum over the program and its
# decoder processes (resident; the peak also proportional, and the program's
# own).
# qimgv FOLDER and nsxiv -t FILES are timed in the same run from their start
# to their first picture.
#
#   bench/user-level.sh BUILD_DIR FOLDER...       # e.g. build-bench ../bench-corpus-2000 ../scans-50000
#   bench/user-level.sh --small N FOLDER          # makes N small JPEGs (hard links of four) in FOLDER
#   CYCLES=10 bench/user-level.sh BUILD_DIR FOLDER # then opens and closes the list 10 more times
#   WARM=1 bench/user-level.sh BUILD_DIR FOLDER    # over the thumbnails a first run left in the cache
#
# Each of our runs starts with an empty thumbnail cache of its own; with WARM,
# a first run of the program opens the list, waits until it is idle and is
# ended, and the run measured starts over what it left. Prints one table row
# per folder and program. PEERS="" leaves the peers out.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $(cat "$work"/pids 2>/dev/null) 2>/dev/null || true; rm -rf "$work"' EXIT

if [ "${1:-}" = "--small" ]; then
    n=$2 folder=$3
    mkdir -p "$folder"
    for i in 1 2 3 4; do convert -size 64x48 -seed $i plasma: -quality 85 "$work/s$i.jpg"; done
    seq 1 "$n" | while read -r i; do
        ln -f "$work/s$((i % 4 + 1)).jpg" "$folder/$(printf 'scan%06d.jpg' "$i")"
    done
    exit 0
fi

build=$(cd "$1" && pwd); shift
missing=""
peers=${PEERS-qimgv nsxiv}
for tool in Xvfb xdotool $peers cc; do command -v $tool >/dev/null || missing="$missing $tool"; done
[ -z "$missing" ] || { echo "installing:$missing" >&2; apt-get install -y xvfb xdotool qimgv nsxiv gcc libx11-dev >&2; }
. "$here/xserver.sh"
xwatch=$work/xwatch

now() { date +%s.%N; }
ms() { echo "$1 $2" | awk '{ printf "%.0f", ($2 - $1) * 1000 }'; }
status() { awk -v k="$2:" '$1 == k { printf "%.0f", $2 / 1024 }' "/proc/$1/status"; }  # MB
# KEY (VmRSS, Pss) summed over the tree of PID, in kB: FILE is status or smaps_rollup.
treekb() {  # PID FILE KEY
    tree "$1" | sed "s|.*|/proc/&/$2|" | xargs cat 2>/dev/null | awk -v k="$3:" '$1 == k { s += $2 } END { print s + 0 }'
}
# Samples the tree of PID every 0.25 s while it lives: the largest sums of
# resident and proportional sizes seen at one moment, in kB, into FILE.
sampler() {  # PID FILE
    rss=0 pss=0
    while kill -0 "$1" 2>/dev/null; do
        r=$(treekb "$1" status VmRSS) p=$(treekb "$1" smaps_rollup Pss)
        [ "$r" -le "$rss" ] || rss=$r
        [ "$p" -le "$pss" ] || pss=$p
        echo "$rss $pss" >"$2"
        sleep 0.25
    done
}
# Processor time of the process and its decoders, in ticks.
cpu() { tree "$1" | sed 's|.*|/proc/&/stat|' | xargs cat 2>/dev/null | awk '{ s += $14 + $15 } END { print s }'; }
# Waits until the program and its decoders have used no processor time for 1.5 s;
# prints when they last did.
idle() {
    last=$(cpu "$1") since=$(now) quiet=0
    while [ $quiet -lt 15 ]; do
        sleep 0.1
        c=$(cpu "$1")
        if [ "$c" = "$last" ]; then quiet=$((quiet + 1)); else last=$c since=$(now) quiet=0; fi
    done
    echo "$since"
}

# Starts ours in FOLDER: its pid, and its main window's geometry in `main`.
start_ours() {  # FOLDER
    (cd "$1" && exec "$build/pixmoor") >/dev/null 2>&1 &
    pid=$!; echo $pid >>"$work/pids"
    main=$("$xwatch" where name:Pixmoor 20)
    sleep 2
}
# '一覧表示' chosen in the file list's menu, up to the key that opens the list.
# File1 lies at (8, 128) in the main window's client, which is 248 high under
# the menu bar: its first row.
choose_list() {
    set -- $main
    xdotool mousemove $(($2 + 38)) $(($3 + $5 - 248 + 136)) mousedown 3 mouseup 3
    sleep 0.5
    xdotool key Down
    sleep 0.3
}

printf '%-36s %8s %8s %8s %8s %9s %7s %7s %7s %7s %8s %8s\n' "folder, program" files "frame s" "first s" "wheel s" "all s" "key ms" \
    "MB0" "MB peak" "MB +3s" "PSS peak" "own peak"
for folder in "$@"; do
    folder=$(cd "$folder" && pwd)
    files=$(ls "$folder" | wc -l)
    name="$(basename "$folder")"

    # Ours, over an empty cache, or over what a first run left in it.
    export XDG_CACHE_HOME="$work/cache-$name"
    ours="$name, Pixmoor"
    if [ -n "${WARM:-}" ]; then
        start_ours "$folder"
        choose_list
        xdotool key Return
        idle $pid >/dev/null
        kill $pid
        wait $pid 2>/dev/null || true
        ours="$ours, warm"
    fi
    start_ours "$folder"
    sampler $pid "$work/tree" &
    echo $! >>"$work/pids"
    before=$(( $(treekb $pid status VmRSS) / 1024 ))
    choose_list
    "$xwatch" where "name:画像の一覧表示" 60 >"$work/frame" &
    watch1=$!
    "$xwatch" colours "name:画像の一覧表示" 8 32 65 65 100 120 >"$work/first" &
    watch2=$!
    start=$(now)
    xdotool key Return
    wait $watch1 && wait $watch2 || { echo "$name: no list, or no picture in its first cell" >&2; exit 1; }
    set -- $(cat "$work/frame")
    frame=$(ms "$start" "$1") first=$(ms "$start" "$(cat "$work/first")")
    "$xwatch" change "name:画像の一覧表示" 8 32 65 65 20 >"$work/wheel" &
    watch1=$!
    sleep 0.05
    xdotool mousemove $(($2 + 200)) $(($3 + 200)) click 5
    wait $watch1 || { echo "$name: the wheel did not scroll the list" >&2; exit 1; }
    wheel=$(ms "$start" "$(cat "$work/wheel")")
    done=$(ms "$start" "$(idle $pid)")
    # The list's cells have the focus: Home makes cell 0 current at the top;
    # cells 0 and 1 lie side by side.
    xdotool search --name '^画像の一覧表示$' windowfocus --sync key Home
    sleep 0.5
    for i in $(seq 20); do
        "$xwatch" key "name:画像の一覧表示" 88 32 65 65 Right 5 && "$xwatch" key "name:画像の一覧表示" 8 32 65 65 Left 5
    done >"$work/keys" || { echo "$name: the arrow keys did not move the frame" >&2; exit 1; }
    key=$(sort -n "$work/keys" | awk '{ v[NR] = $1 } END { print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }')
    own=$(status $pid VmHWM)
    "$xwatch" close "name:画像の一覧表示" 10
    sleep 3
    after=$(( $(treekb $pid status VmRSS) / 1024 ))
    set -- $(cat "$work/tree")
    peak=$(( $1 / 1024 )) pss=$(( $2 / 1024 ))
    # The list opened again (its first picture shown) and closed, CYCLES
    # times: the program's own resident memory 3 s after each close.
    cycles=""
    for i in $(seq "${CYCLES:-0}"); do
        choose_list
        xdotool key Return
        "$xwatch" colours "name:画像の一覧表示" 8 32 65 65 100 120 >/dev/null || { echo "$name: no list at cycle $i" >&2; exit 1; }
        "$xwatch" close "name:画像の一覧表示" 10
        sleep 3
        cycles="$cycles $(status $pid VmRSS)"
    done
    [ -z "$cycles" ] || echo "$name: own MB 3 s after each of ${CYCLES} closes:$cycles" >&2
    kill $pid
    wait $pid 2>/dev/null || true
    printf '%-36s %8s %8.3f %8.3f %8.3f %9.1f %7.1f %7s %7s %7s %8s %8s\n' "$ours" "$files" \
        "$(echo "$frame / 1000" | bc -l)" "$(echo "$first / 1000" | bc -l)" "$(echo "$wheel / 1000" | bc -l)" \
        "$(echo "$done / 1000" | bc -l)" "$key" "$before" "$peak" "$after" "$pss" "$own"

    # The peers, from their start to their first picture; their peak 3 s later.
    for peer in $peers; do
        start=$(now)
        if [ $peer = qimgv ]; then
            qimgv "$folder" >/dev/null 2>&1 &
        else
            ls "$folder" | sed "s|^|$folder/|" | nsxiv -t -i >/dev/null 2>&1 &
        fi
        pid=$!; echo $pid >>"$work/pids"
        if [ $peer = qimgv ]; then box="-1 -1 64 64"; else box="0 0 200 200"; fi
        first=$("$xwatch" colours pid:$pid $box 100 120 || echo "")
        sleep 3
        peak=$(status $pid VmHWM)
        kill $pid 2>/dev/null || true
        wait $pid 2>/dev/null || true
        first=${first:+$(echo "$(ms "$start" "$first") / 1000" | bc -l)}
        printf '%-36s %8s %8s %8.3f %8s %9s %7s %7s %7s %7s %8s %8s\n' "$name, $peer" "$files" - "${first:-0}" - - - - "$peak" - - "$peak"
    done
done
