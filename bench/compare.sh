#!/bin/bash
# Builds a 65-pixel thumbnail of each of the 200 photos of CORPUS with Pixmoor's
# thumbnail list and with other thumbnailers, in turn, ROUNDS times (default 3),
# and prints medians with their spread (min-max). CORPUS is a folder made by
# make-corpus (photo_*.jpg, 4000 x 3000).
#
# Then times the thumbnail list of MANY photos (default 2000: the photos
# repeated under other names, as hard links in a temporary folder) from
# choosing "一覧表示" to the window shown, the first cell painted, the first
# screen painted and every thumbnail done, beside the list built the way it
# was before it showed itself at once (every thumbnail decoded, then shown).
#
#   bench/compare.sh CORPUS [ROUNDS] [MANY]
#
# Every build of ours starts with an empty shared thumbnail cache of its own
# (XDG_CACHE_HOME in a temporary folder) unless it is the second build of a
# pair that measures the warm cache: the 200 photos, and the 2,000 photos of
# CORPUS-2000, built again in a new process. The photos of CORPUS-camera carry
# camera EXIF thumbnails: ours against ours ignoring them and vipsthumbnail.
# The 2,000 photos are also built again over entries that hold only the two
# keys the standard requires, as GLib-based thumbnailers write them, and ended
# with "終了" mid-build: the process is timed until it is gone.
# The photos of CORPUS-progressive are the same pictures as progressive JPEGs:
# ours against Qt's scaled decode of them and vipsthumbnail. Our figures count
# the program's process and its decoder processes together: CPU time of all,
# peak MB the largest sum of their resident sizes seen at one moment.
# Then what a decoder process costs to start and to keep idle, and the
# hostile folder CORPUS-hostile (made by pixmoor-bench): every file shown or
# refused with a reason, the program's own peak and its largest decoder's.
# The folders are made when missing (PIXMOOR_LARGE_CORPUS, PIXMOOR_CAMERA_CORPUS,
# PIXMOOR_PROGRESSIVE_CORPUS and PIXMOOR_HOSTILE_CORPUS name others).
#
# Installs what is missing through apt-get (libvips-tools, imagemagick, feh,
# time) and builds pixmoor-bench and make-corpus into build-bench/ (Release)
# unless PIXMOOR_BENCH names a built pixmoor-bench. The last line reads:
#   list-build 200 photos: ours S s, vipsthumbnail V s, ratio R, peak MB M
set -euo pipefail

CORPUS=$(realpath "${1:?usage: compare.sh CORPUS [ROUNDS]}")
ROUNDS=${2:-3}
MANY=${3:-2000}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
BENCH=${PIXMOOR_BENCH:-$ROOT/build-bench/bench/pixmoor-bench}
MAKE_CORPUS=$ROOT/build-bench/tools/make-corpus/make-corpus
LARGE=${PIXMOOR_LARGE_CORPUS:-$CORPUS-2000}
CAMERA=${PIXMOOR_CAMERA_CORPUS:-$CORPUS-camera}
PROGRESSIVE=${PIXMOOR_PROGRESSIVE_CORPUS:-$CORPUS-progressive}
HOSTILE=${PIXMOOR_HOSTILE_CORPUS:-$CORPUS-hostile}

shopt -s nullglob
PHOTOS=("$CORPUS"/photo_*.jpg)
shopt -u nullglob
if [ "${#PHOTOS[@]}" -eq 0 ]; then
  echo "compare.sh: no photo_*.jpg in $CORPUS (make it with tools/make-corpus, see bench/README.md)" >&2
  exit 2
fi

# --- tools ------------------------------------------------------------------
missing=()
command -v vipsthumbnail >/dev/null || missing+=(libvips-tools)
[ -x /usr/bin/montage ] || missing+=(imagemagick)
command -v feh >/dev/null || missing+=(feh)
[ -x /usr/bin/time ] || missing+=(time)
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "compare.sh: installing ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ -z "${PIXMOOR_BENCH:-}" ]; then
  if [ ! -f "$ROOT/build-bench/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  fi
  cmake --build "$ROOT/build-bench" --target pixmoor-bench >/dev/null
fi
if [ ! -d "$LARGE" ] || [ ! -d "$CAMERA" ] || [ ! -d "$PROGRESSIVE" ]; then
  [ -f "$ROOT/build-bench/CMakeCache.txt" ] ||
    cmake -S "$ROOT" -B "$ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$ROOT/build-bench" --target make-corpus >/dev/null
  echo "compare.sh: making $LARGE, $CAMERA and $PROGRESSIVE" >&2
  [ -d "$LARGE" ] || "$MAKE_CORPUS" --photos 2000 --distinct 200 "$LARGE" >&2
  [ -d "$CAMERA" ] || "$MAKE_CORPUS" --camera "$CAMERA" >&2
  [ -d "$PROGRESSIVE" ] || "$MAKE_CORPUS" --progressive "$PROGRESSIVE" >&2
fi
shopt -s nullglob
CAMERA_PHOTOS=("$CAMERA"/photo_*.jpg)
PROGRESSIVE_PHOTOS=("$PROGRESSIVE"/photo_*.jpg)
shopt -u nullglob

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen

# --- one run of each tool ---------------------------------------------------
# Each appends "WALL_S PEAK_MB CPU_S" to $WORK/NAME.txt. Wall time from the
# clock around the command; from /usr/bin/time the peak (%M: the largest single
# process) and the CPU time of all its processes (user + system), which moves
# less than the wall time when other work shares the cores.
timed() {  # NAME COMMAND...
  local name=$1; shift
  rm -rf "$WORK/out"; mkdir -p "$WORK/out"
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M %U %S' -o "$WORK/rss" "$@" >"$WORK/log" 2>&1 || {
    echo "compare.sh: $name failed:" >&2; tail -5 "$WORK/log" >&2; return 1; }
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(tail -1 "$WORK/rss")" |
    awk '{ printf "%.3f %.1f %.2f\n", $1 / 1000, $2 / 1024, $3 + $4 }' >>"$WORK/$name.txt"
}

# Pixmoor: the list of the photos (type filter jpg), built in the program; its
# own clock (menu command until every cell holds its picture and the frame is
# painted), the CPU time of the program and its decoders, and their peak
# together (the largest sum of their resident sizes).
ours() {
  rm -rf "$WORK/out"; mkdir -p "$WORK/out"
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M %U %S' -o "$WORK/rss" env XDG_CACHE_HOME="$(fresh_cache)" \
    "$BENCH" --phase list --corpus "$CORPUS" --filter jpg --repeat 1 >"$WORK/ours.out" 2>"$WORK/log" || {
    echo "compare.sh: pixmoor-bench failed:" >&2; tail -5 "$WORK/log" >&2; return 1; }
  end=$(date +%s%N)
  awk '$1 == "result" { v[$2] = $3 } END {
         printf "%.3f %.1f %.2f\n", v["first_ms"] / 1000, v["tree_peak_mb"], v["first_tree_cpu_ms"] / 1000 >> "'"$WORK"'/ours.txt"
         printf "%.1f %.1f %.1f\n", v["peak_mb"], v["tree_peak_pss_mb"], v["decoder_peak_mb"] >> "'"$WORK"'/ours-memory.txt"
         printf "%.3f %.1f -\n", v["again_ms"] / 1000, v["again_peak_mb"] >> "'"$WORK"'/again.txt"
         if (v["cells_with_picture"] != '"${#PHOTOS[@]}"')
           printf "compare.sh: only %d of '"${#PHOTOS[@]}"' cells hold a picture\n", v["cells_with_picture"] > "/dev/stderr"
       }' "$WORK/ours.out"
  echo "$(( (end - start) / 1000000 )) $(tail -1 "$WORK/rss")" |
    awk '{ printf "%.3f %.1f %.2f\n", $1 / 1000, $2 / 1024, $3 + $4 }' >>"$WORK/process.txt"
}

# An empty shared thumbnail cache of its own for one build (or one pair).
fresh_cache() {
  mktemp -d "$WORK/cache.XXXXXX"
}

# One list build of ours in a new process: NAME CORPUS CACHE [OPTIONS...];
# appends "WALL_S PEAK_MB CPU_S" of the first build to $WORK/NAME.txt, the
# program and its decoders together.
list_build() {
  local name=$1 corpus=$2 cache=$3; shift 3
  XDG_CACHE_HOME="$cache" "$BENCH" --phase list --corpus "$corpus" --filter jpg --repeat 0 "$@" \
    >"$WORK/list.out" 2>"$WORK/log" || {
    echo "compare.sh: pixmoor-bench failed:" >&2; tail -5 "$WORK/log" >&2; return 1; }
  awk '$1 == "result" { v[$2] = $3 } END {
         printf "%.3f %.1f %.2f\n", v["first_ms"] / 1000, v["tree_peak_mb"], v["first_tree_cpu_ms"] / 1000
       }' "$WORK/list.out" >>"$WORK/$name.txt"
}

# A first build over an empty shared cache, then the same list in a new
# process reading what the first one wrote.
warm() {  # NAME CORPUS
  local cache
  cache=$(fresh_cache)
  list_build "cold-$1" "$2" "$cache"
  du -sk "$cache/thumbnails" | cut -f1 >>"$WORK/cache-kb-$1.txt"
  list_build "warm-$1" "$2" "$cache"
  WARM_CACHE=$cache
}

# Entries as GLib-based thumbnailers write them: the thumbnails the last
# warm() wrote, stripped of every text chunk but Thumb::URI and Thumb::MTime
# (tEXt); then the list in a new process over them.
glib_entries() {  # NAME CORPUS
  local cache
  cache=$(fresh_cache)
  cp -a "$WARM_CACHE/thumbnails" "$cache/"
  python3 - "$cache/thumbnails/normal" <<'PY'
import os, struct, sys
for name in os.listdir(sys.argv[1]):
    path = os.path.join(sys.argv[1], name)
    data = open(path, 'rb').read()
    out, at = data[:8], 8
    while at + 12 <= len(data):
        length = struct.unpack('>I', data[at:at + 4])[0]
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        if kind not in (b'tEXt', b'zTXt', b'iTXt') or body.split(b'\0')[0] in (b'Thumb::URI', b'Thumb::MTime'):
            out += data[at:at + 12 + length]
        at += 12 + length
    open(path, 'wb').write(out)
PY
  list_build "glib-$1" "$2" "$cache"
}

# "終了" while the list of CORPUS is still being made: from choosing it until
# the process is gone, in seconds, appended to $WORK/quit.txt.
quit_mid_build() {  # CORPUS
  XDG_CACHE_HOME="$(fresh_cache)" "$BENCH" --phase list-quit --corpus "$1" --filter jpg >"$WORK/quit.out" 2>"$WORK/log" || {
    echo "compare.sh: pixmoor-bench --phase list-quit failed:" >&2; tail -5 "$WORK/log" >&2; return 1; }
  local gone
  gone=$(date +%s%3N)
  awk -v g="$gone" '$1 == "result" && $2 == "quit_at_ms" { printf "%.3f - -\n", (g - $3) / 1000 }' \
    "$WORK/quit.out" >>"$WORK/quit.txt"
}

# The same build with no cache at all: its folder cannot be made.
no_cache() {  # NAME CORPUS
  : >"$WORK/not-a-folder"
  list_build "nocache-$1" "$2" "$WORK/not-a-folder"
}

# Photos with camera thumbnails: ours using them, ours decoding every photo,
# and vipsthumbnail on the same files.
camera() {
  list_build camera-ours "$CAMERA" "$(fresh_cache)"
  list_build camera-decoded "$CAMERA" "$(fresh_cache)" --no-embedded
  printf '%s\0' "${CAMERA_PHOTOS[@]}" >"$WORK/camera-photos"
  local per=$(( (${#CAMERA_PHOTOS[@]} + 1) / 2 ))
  timed camera-vips xargs -0 -P2 -n "$per" -a "$WORK/camera-photos" vipsthumbnail -s 65 -o "$WORK/out/%s.jpg"
}

# The same photos as progressive JPEGs: ours, Qt's scaled decode, vipsthumbnail.
progressive() {
  list_build prog-ours "$PROGRESSIVE" "$(fresh_cache)"
  floor prog-floor "$PROGRESSIVE"
  vips prog-vips "${PROGRESSIVE_PHOTOS[@]}"
}

# The decoders' server started until it answered, then 100 tiny pictures each
# in a decoder of its own, and what the server and a waiting decoder hold idle.
decoder_start() {
  "$BENCH" --phase decoder-start --corpus "$CORPUS" --repeat 5 >"$WORK/start.out" 2>"$WORK/start.err" || {
    echo "compare.sh: pixmoor-bench --phase decoder-start failed:" >&2; tail -5 "$WORK/start.err" >&2; return 1; }
  awk '$1 == "result" && $2 == "start_ms" { printf "%.1f - -\n", $3 }' "$WORK/start.out" >>"$WORK/start.txt"
  awk '$1 == "result" { v[$2] = $3 } END { printf "%.1f %.1f %d %.2f %.2f\n", v["idle_pss_mb"], v["idle_rss_mb"], v["decoders"],
         v["decode_ms"], v["decode_cpu_ms"] }' "$WORK/start.out" >>"$WORK/idle.txt"
}

# The hostile folder: each file decoded for a cell and at full size (counts of
# shown, refused with a reason, neither), then opened in the list; the program's
# own peak and its largest decoder's.
hostile() {
  "$BENCH" --phase hostile --corpus "$HOSTILE" >"$WORK/hostile.out" 2>"$WORK/log" ||
    echo "compare.sh: pixmoor-bench --phase hostile failed (a file neither shown nor refused?)" >&2
  awk '$1 == "result" { v[$2] = $3 } END {
         printf "%d %d %d %d %.1f %.1f %.1f\n", v["files"], v["shown"], v["refused"], v["unexplained"], v["cell_peak_mb"],
                v["full_peak_mb"], v["decoder_peak_mb"]
       }' "$WORK/hostile.out" >>"$WORK/hostile.txt"
  XDG_CACHE_HOME="$(fresh_cache)" "$BENCH" --phase list --corpus "$HOSTILE" --filter all --repeat 0 \
    >"$WORK/hostile-list.out" 2>"$WORK/log" || {
    echo "compare.sh: the hostile folder's list failed:" >&2; tail -5 "$WORK/log" >&2; return 1; }
  awk '$1 == "result" { v[$2] = $3 } END {
         printf "%.3f %.1f %.1f %.1f %d %d\n", v["first_ms"] / 1000, v["peak_mb"], v["decoder_peak_mb"], v["tree_peak_mb"], v["cells"], v["cells_with_picture"]
       }' "$WORK/hostile-list.out" >>"$WORK/hostile-list.txt"
}

floor() {  # [NAME FOLDER]: the floor of CORPUS unless told
  "$BENCH" --phase qt-scaled-on-load --corpus "${2:-$CORPUS}" --filter jpg --threads 2 >"$WORK/qt.out" 2>/dev/null
  awk '$1 == "result" { v[$2] = $3 } END { printf "%.3f %.1f %.2f\n", v["ms"] / 1000, v["peak_mb"], v["cpu_ms"] / 1000 }' \
    "$WORK/qt.out" >>"$WORK/${1:-floor}.txt"
}

plainqt() {
  "$BENCH" --phase qt-full-then-scaled --corpus "$CORPUS" --filter jpg --threads 2 >"$WORK/qt.out" 2>/dev/null
  awk '$1 == "result" { v[$2] = $3 } END { printf "%.3f %.1f %.2f\n", v["ms"] / 1000, v["peak_mb"], v["cpu_ms"] / 1000 }' \
    "$WORK/qt.out" >>"$WORK/plainqt.txt"
}

vips() {  # [NAME PHOTO...]: two processes of half the photos each, CORPUS's unless told
  local name=vips
  if [ $# -gt 0 ]; then name=$1; shift; else set -- "${PHOTOS[@]}"; fi
  printf '%s\0' "$@" >"$WORK/photos"
  local per=$(( ($# + 1) / 2 ))
  timed "$name" xargs -0 -P2 -n "$per" -a "$WORK/photos" vipsthumbnail -s 65 -o "$WORK/out/%s.jpg"
}

montage() {
  timed montage /usr/bin/montage -define jpeg:size=130x130 -geometry 65x65+2+2 "${PHOTOS[@]}" "$WORK/out/montage.png"
}

feh_index() {  # draws without a display when writing a file (-O)
  timed feh env -u DISPLAY feh -i --thumb-width 65 --thumb-height 65 -O "$WORK/out/index.png" "${PHOTOS[@]}"
}

for round in $(seq 1 "$ROUNDS"); do
  echo "compare.sh: round $round of $ROUNDS (load average $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  ours
  vips
  floor
  montage
  plainqt
  feh_index
  warm 200 "$CORPUS"
  no_cache 200 "$CORPUS"
  warm 2000 "$LARGE"
  glib_entries 2000 "$LARGE"
  quit_mid_build "$LARGE"
  camera
  progressive
  decoder_start
  hostile
done

# --- the list of MANY photos: when it becomes usable -------------------------
mkdir -p "$WORK/many"
made=0
while [ "$made" -lt "$MANY" ]; do
  for photo in "${PHOTOS[@]}"; do
    [ "$made" -lt "$MANY" ] || break
    copy="$WORK/many/photo_$(printf '%05d' "$made").jpg"
    ln "$photo" "$copy" 2>/dev/null || cp "$photo" "$copy"
    made=$((made + 1))
  done
done

# Appends "SHOWN CELL SCREEN ALL PEAK" (seconds, MB: the program and its
# decoders together) to $WORK/NAME.txt.
moments() {  # NAME PHASE
  XDG_CACHE_HOME="$(fresh_cache)" \
    "$BENCH" --phase "$2" --corpus "$WORK/many" --filter jpg --repeat 0 >"$WORK/many.out" 2>"$WORK/log" || {
    echo "compare.sh: pixmoor-bench --phase $2 failed:" >&2; tail -5 "$WORK/log" >&2; return 1; }
  awk '$1 == "result" { v[$2] = $3 } END {
         printf "%.3f %.3f %.3f %.3f %.1f\n", v["shown_ms"] / 1000, v["first_cell_ms"] / 1000,
                v["first_screen_ms"] / 1000, v["first_ms"] / 1000, v["tree_peak_mb"]
         if (v["cells_with_picture"] != '"$MANY"')
           printf "compare.sh: only %d of '"$MANY"' cells hold a picture\n", v["cells_with_picture"] > "/dev/stderr"
       }' "$WORK/many.out" >>"$WORK/$1.txt"
}

for round in $(seq 1 "$ROUNDS"); do
  echo "compare.sh: $MANY photos, round $round of $ROUNDS (load average $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  moments many_now list
  moments many_old list-decode-first
  "$BENCH" --phase qt-scaled-on-load --corpus "$WORK/many" --filter jpg --threads 2 >"$WORK/qt.out" 2>/dev/null
  awk '$1 == "result" { v[$2] = $3 } END { printf "%.3f\n", v["ms"] / 1000 }' "$WORK/qt.out" >>"$WORK/many_floor.txt"
done

# --- table ------------------------------------------------------------------
stat_of() {  # FILE COLUMN -> "median min max" (empty column: "-")
  awk -v c="$2" '$c != "-" { print $c }' "$1" | sort -g | awk '
    { v[NR] = $1 }
    END {
      if (NR == 0) { print "- - -"; exit }
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      print m, v[1], v[NR]
    }'
}

row() {  # LABEL FILE
  read -r t tmin tmax < <(stat_of "$2" 1)
  read -r m _ _ < <(stat_of "$2" 2)
  read -r c _ _ < <(stat_of "$2" 3)
  printf '| %-56s | %8s | %-13s | %7s | %7s |\n' "$1" "$t" "$tmin-$tmax" "$m" "$c"
}

moment() {  # LABEL COLUMN
  read -r now nmin nmax < <(stat_of "$WORK/many_now.txt" "$2")
  read -r old _ _ < <(stat_of "$WORK/many_old.txt" "$2")
  awk -v l="$1" -v n="$now" -v a="$nmin" -v b="$nmax" -v o="$old" \
    'BEGIN { printf "| %-36s | %8s | %-13s | %8s | %9.3f |\n", l, n, a "-" b, o, n / o }'
}
echo
echo "$MANY photos 4000 x 3000 (the $(( ${#PHOTOS[@]} )) repeated) from choosing \"一覧表示\", $ROUNDS rounds, $(nproc) cores;"
echo "now beside the old way (every thumbnail decoded, then the list shown); medians (min-max):"
echo
printf '| %-36s | %8s | %-13s | %8s | %9s |\n' "moment" "now s" "spread s" "old s" "now / old"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..38})" "----------" "---------------" "----------" "-----------"
moment "window shown" 1
moment "first cell painted" 2
moment "first screen painted" 3
moment "all thumbnails done" 4
moment "peak MB" 5
read -r ALL _ _ < <(stat_of "$WORK/many_now.txt" 4)
read -r MF _ _ < <(stat_of "$WORK/many_floor.txt" 1)
awk -v a="$ALL" -v f="$MF" 'BEGIN {
  printf "\nall thumbnails done / Qt setScaledSize floor (2 threads, %.2f s): %.2f (target <= 1.05)\n", f, a / f }'

n=${#PHOTOS[@]}
echo
echo "$n photos 4000 x 3000 to 65-pixel thumbnails, $ROUNDS rounds, $(nproc) cores; medians (min-max):"
echo
printf '| %-56s | %8s | %-13s | %7s | %7s |\n' "tool" "wall s" "spread s" "peak MB" "CPU s"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..58})" "----------" "---------------" "---------" "---------"
row "Pixmoor thumbnail list, first build" "$WORK/ours.txt"
row "Pixmoor thumbnail list, built again in the same run" "$WORK/again.txt"
row "Pixmoor whole process (start, build twice, end)" "$WORK/process.txt"
row "Qt setScaledSize, 2 threads (floor)" "$WORK/floor.txt"
row "Qt full decode + QImage::scaled, 2 threads" "$WORK/plainqt.txt"
row "libvips vipsthumbnail, 2 processes (peak: each)" "$WORK/vips.txt"
row "ImageMagick montage, -define jpeg:size=130x130" "$WORK/montage.txt"
row "feh index mode (-i -O)" "$WORK/feh.txt"
echo
echo "The shared thumbnail cache, each first build over an empty one:"
echo
printf '| %-56s | %8s | %-13s | %7s | %7s |\n' "list build" "wall s" "spread s" "peak MB" "CPU s"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..58})" "----------" "---------------" "---------" "---------"
row "200 photos, first build" "$WORK/cold-200.txt"
row "200 photos, new process, warm cache" "$WORK/warm-200.txt"
row "200 photos, no cache (its folder cannot be made)" "$WORK/nocache-200.txt"
row "2,000 photos, first build" "$WORK/cold-2000.txt"
row "2,000 photos, new process, warm cache" "$WORK/warm-2000.txt"
row "2,000 photos, new process, GLib's two-key entries" "$WORK/glib-2000.txt"
row "2,000 photos, 終了 mid-build until the process is gone" "$WORK/quit.txt"
row "${#CAMERA_PHOTOS[@]} camera photos, EXIF thumbnails used" "$WORK/camera-ours.txt"
row "${#CAMERA_PHOTOS[@]} camera photos, EXIF thumbnails ignored" "$WORK/camera-decoded.txt"
row "${#CAMERA_PHOTOS[@]} camera photos, vipsthumbnail, 2 processes" "$WORK/camera-vips.txt"

median() {  # FILE COLUMN
  read -r m _ _ < <(stat_of "$WORK/$1.txt" "$2")
  echo "$m"
}
S=$(median ours 1); M=$(median ours 2); SC=$(median ours 3)
V=$(median vips 1); VC=$(median vips 3)
F=$(median floor 1); FC=$(median floor 3)
A=$(median again 1)
echo
awk -v s="$S" -v v="$V" -v f="$F" -v a="$A" -v m="$M" -v sc="$SC" -v vc="$VC" -v fc="$FC" 'BEGIN {
  printf "ratios of medians: ours / vipsthumbnail %.2f (target <= 0.8), ours / Qt floor %.2f (target <= 1.2),\n", s / v, s / f
  printf "built again / first %.3f (target <= 0.1), peak %.0f MB (target < 150);\n", a / s, m
  printf "in CPU time: ours / vipsthumbnail %.2f, ours / Qt floor %.2f\n", sc / vc, sc / fc
}'
C200=$(median cold-200 1); W200=$(median warm-200 1); N200=$(median nocache-200 1)
C2000=$(median cold-2000 1); W2000=$(median warm-2000 1); KB2000=$(median cache-kb-2000 1)
KB200=$(median cache-kb-200 1); G2000=$(median glib-2000 1); Q=$(median quit 1)
CO=$(median camera-ours 1); CD=$(median camera-decoded 1); CV=$(median camera-vips 1)
awk -v c2="$C200" -v w2="$W200" -v c3="$C2000" -v w3="$W2000" -v kb="$KB2000" -v co="$CO" -v cd="$CD" -v cv="$CV" \
    -v n2="$N200" 'BEGIN {
  printf "warm cache in a new process / first build: 200 photos %.3f (target <= 0.1), 2,000 photos %.3f, %.2f s (target <= 1.0 s);\n", w2 / c2, w3 / c3, w3
  printf "cache on disk for 2,000 photos %.1f MB; first build writing the cache / without a cache %.2f (target <= 1.1);\n", kb / 1024, c2 / n2
  printf "camera photos, EXIF thumbnails used: / ignored %.3f, / vipsthumbnail %.3f (target <= 0.2)\n", co / cd, co / cv
}'
awk -v c2="$C200" -v f="$F" -v kb="$KB200" -v g="$G2000" -v w3="$W2000" -v q="$Q" 'BEGIN {
  printf "first build writing the cache / Qt floor %.2f (target <= 1.05), its cache %.2f MB for 200 photos;\n", c2 / f, kb / 1024
  printf "GLib two-key entries / our own warm cache, 2,000 photos %.2f (target <= 1.0); 終了 mid-build: gone after %.2f s (target <= 1 s)\n", g / w3, q
}'

echo
echo "Decoding in decoder processes; ours counts the program and its decoders together:"
echo
printf '| %-56s | %8s | %-13s | %7s | %7s |\n' "list build" "wall s" "spread s" "peak MB" "CPU s"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..58})" "----------" "---------------" "---------" "---------"
row "${#PROGRESSIVE_PHOTOS[@]} progressive photos, Pixmoor first build" "$WORK/prog-ours.txt"
row "${#PROGRESSIVE_PHOTOS[@]} progressive photos, Qt setScaledSize, 2 threads" "$WORK/prog-floor.txt"
row "${#PROGRESSIVE_PHOTOS[@]} progressive photos, vipsthumbnail, 2 processes" "$WORK/prog-vips.txt"
row "decoders' server started until it answered, ms" "$WORK/start.txt"
PO=$(median prog-ours 1); PF=$(median prog-floor 1); PV=$(median prog-vips 1)
POC=$(median prog-ours 3); PFC=$(median prog-floor 3)
PM=$(median ours-memory 1); PP=$(median ours-memory 2); PD=$(median ours-memory 3)
IP=$(median idle 1); IR=$(median idle 2); IN=$(median idle 3); ID=$(median idle 4); IC=$(median idle 5); ST=$(median start 1)
read -r HF HS HR HU HP HFP HD < <(sort -k5 -g "$WORK/hostile.txt" | tail -1)
read -r LT LP LD LR LC LW < <(sort -k2 -g "$WORK/hostile-list.txt" | tail -1)
echo
awk -v po="$PO" -v pf="$PF" -v pv="$PV" -v poc="$POC" -v pfc="$PFC" -v s="$S" -v f="$F" -v sc="$SC" -v fc="$FC" \
    -v m="$M" -v pm="$PM" -v pp="$PP" -v pd="$PD" 'BEGIN {
  printf "progressive photos: ours / Qt floor %.2f (target <= 1.05), in CPU time %.2f; ours / vipsthumbnail %.2f;\n", po / pf, poc / pfc, po / pv
  printf "%d photos with the decoders counted: ours / Qt floor %.2f (target <= 1.05), in CPU time %.2f;\n", '"$n"', s / f, sc / fc
  printf "  peak: the program alone %.0f MB, with its decoders %.0f MB resident (sum), %.0f MB proportional; largest decoder %.0f MB\n", pm, m, pp, pd
}'
awk -v st="$ST" -v ip="$IP" -v ir="$IR" -v in_="$IN" -v id="$ID" -v ic="$IC" 'BEGIN {
  printf "the decoders' server starts in %.0f ms; a tiny picture in a decoder of its own takes %.2f ms, %.2f ms of CPU;\n", st, id, ic
  printf "  idle, the server and its waiting decoder hold %.1f MB proportional, %.1f MB resident (%d processes)\n", ip, ir, in_
}'
awk -v f="$HF" -v sh="$HS" -v r="$HR" -v u="$HU" -v p="$HP" -v fp="$HFP" -v d="$HD" -v lt="$LT" -v lp="$LP" -v ld="$LD" -v lr="$LR" \
    -v lc="$LC" -v lw="$LW" 'BEGIN {
  printf "hostile folder, %d files each for a cell and at full size: %d shown, %d refused with a reason, %d neither (target 0);\n", f, sh, r, u
  printf "  program peak while decoding cells %.0f MB (target <= 300), at full size %.0f MB; largest decoder %.0f MB;\n", p, fp, d
  printf "  its list: %d cells, %d with a picture, done in %.2f s, program peak %.0f MB (target <= 300),\n", lc, lw, lt, lp
  printf "  largest decoder %.0f MB, both together %.0f MB (the worst round of each)\n", ld, lr
}'
grep -h '^note' "$WORK/hostile.out" | sed 's/^note /  /'
grep -h 'decoded without' "$WORK/start.err" || true
awk -v s="$S" -v v="$V" -v m="$M" -v n="$n" 'BEGIN {
  printf "list-build %d photos: ours %.2f s, vipsthumbnail %.2f s, ratio %.2f, peak MB %.0f\n", n, s, v, s / v, m
}'
