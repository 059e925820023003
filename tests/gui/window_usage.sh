#!/bin/sh
# verandol --help, -h and --version print and exit 0 without a window: no
# display is given, so creating one would fail. A mistake exits 2 before
# its window shows.
program="$1"
export QT_QPA_PLATFORM=xcb DISPLAY= WAYLAND_DISPLAY=
for option in --help -h; do
    out=$("$program" "$option") || { echo "$option exited $?"; exit 1; }
    case "$out" in "Usage: verandol [IMAGE | DEVICE]"*) ;; *) echo "$option printed: $out"; exit 1 ;; esac
done
out=$("$program" --version) || { echo "--version exited $?"; exit 1; }
case "$out" in "verandol "[0-9]*) ;; *) echo "--version printed: $out"; exit 1 ;; esac
QT_QPA_PLATFORM=offscreen "$program" --no-such-option 2>/dev/null
status=$?
[ "$status" -eq 2 ] || { echo "an unknown option exited $status"; exit 1; }
