# shellcheck shell=sh
# Sourced by user-level.sh and list-memory.sh, with $here (bench/) and $work
# (a temporary folder whose "pids" file the caller's exit trap kills) set:
# builds xwatch into $work, starts Xvfb on a free display, exports DISPLAY and
# a home of its own, and defines tree.
cc -O2 -o "$work/xwatch" "$here/xwatch.c" -lX11 -l:libXtst.so.6

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null &
echo $! >>"$work/pids"
exec 3>&-
while [ ! -s "$work/display" ]; do sleep 0.05; done
DISPLAY=:$(cat "$work/display"); export DISPLAY
export QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"

# The process and its descendants (the decoders), one id a line.
tree() {
    echo "$1"
    for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do tree "$child"; done
}
