#!/usr/bin/env bash
# Runs inside Xvfb: builds a plugin through the program's windows by the keyboard alone, as a
# user without a mouse would, then quits with Ctrl+Q.
#   drive-window.sh PATH/TO/veltrano
set -euo pipefail
# Under load the display can come up after xvfb-run hands over: wait for it before the program.
# (The server runs with -noreset: otherwise the probe, its last client leaving, resets it, and the
# program that connects during the reset is refused.)
for _ in $(seq 1 100); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool getdisplaygeometry >/dev/null || { echo "the display $DISPLAY never came up" >&2; exit 1; }
"$1" -style Fusion &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window_named() { # title regex -> window id, once the window is shown
  local id=""
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window named $1" >&2
  return 1
}
keys() { # window, keys...: without a window manager the window is given the focus first
  local id=$1
  shift
  xdotool windowfocus --sync "$id"
  sleep 0.3
  xdotool key --delay 100 "$@"
}

main=$(window_named '^Veltrano Pro 2\.6 $')
# Ctrl+1: the front end's product list; Down picks the first product; Alt+C: "Convert ...".
keys "$main" ctrl+1 Down alt+c
details=$(window_named '^Create Plugin$')
# Enter presses the default button, "Create Plugin".
keys "$details" Return
done_box=$(window_named '^Done$')
keys "$done_box" Return
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name '^Create Plugin$' >/dev/null 2>&1 || break
  sleep 0.1
done
keys "$main" ctrl+q
# The funnel was changed: Ctrl+Q asks whether to save it first. Cancelled, the program is ended
# from outside; without the question it quits by itself.
for _ in $(seq 1 50); do
  kill -0 $pid 2>/dev/null || break
  if ask=$(xdotool search --onlyvisible --name '^Save Funnel$' 2>/dev/null | head -n1) && [ -n "$ask" ]; then
    keys "$ask" Escape
    exit 0
  fi
  sleep 0.1
done
if kill -0 $pid 2>/dev/null; then
  echo "Ctrl+Q neither quit nor asked to save the funnel" >&2
  exit 1
fi
trap - EXIT
wait $pid
