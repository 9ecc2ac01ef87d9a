#!/usr/bin/env bash
# Starts the trainer from a folder of its own, with both tables in the default location (the
# folder gstbl beside the program's folder), under Xvfb; checks that the main window and the
# game windows are shown, then asks it to terminate and checks the end of its run log.
# With openbox installed the screen gets a window manager: the main window's frame, title bar
# included, must then sit at the top left corner, and a second run with large fonts
# (QT_FONT_DPI=144) must keep every frame inside the screen; the boxes each window asks for and
# the tool windows' kind are checked there too.
# Usage: trainer-smoke.sh TRAINER QUINTOR TABLE-CACHE
set -euo pipefail
trainer=$1 quintor=$2
mkdir -p "$3"
cache=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ "${SMOKE_INSIDE_X:-}" != 1 ]; then
  if [ ! -f "$cache/OptEScore-Official.gstbl" ] || [ ! -f "$cache/OptEScore-Official-V.gstbl" ]; then
    "$quintor" tables create --location "$cache" > /dev/null
  fi
  command -v Xvfb > /dev/null || { echo "Xvfb is missing (package xvfb)"; exit 1; }
  # The server picks a free display itself and writes its number once it accepts clients, so
  # runs close together (or side by side) never race for a display number.
  dispfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$dispfile" 2> /dev/null &
  xpid=$!
  trap 'kill "$xpid" 2> /dev/null; rm -f "$dispfile"' EXIT
  for _ in $(seq 1 100); do
    [ -s "$dispfile" ] && break
    kill -0 "$xpid" 2> /dev/null || { echo "Xvfb did not start"; exit 1; }
    sleep 0.1
  done
  [ -s "$dispfile" ] || { echo "Xvfb gave no display"; exit 1; }
  env -u QT_QPA_PLATFORM SMOKE_INSIDE_X=1 DISPLAY=":$(head -n 1 "$dispfile")" \
    bash "$here/trainer-smoke.sh" "$@"
  exit $?
fi

work=$(mktemp -d)
pid=
wm=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill -KILL "$pid"; fi
  if [ -n "$wm" ]; then kill "$wm" 2> /dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

if command -v openbox > /dev/null; then
  openbox --sm-disable > /dev/null 2>&1 &
  wm=$!
  # It is managing the screen once the root window names its check window.
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
    kill -0 "$wm" 2> /dev/null || { echo "openbox did not start"; exit 1; }
    sleep 0.1
  done
  xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || { echo "openbox gave no sign"; exit 1; }
else
  echo "openbox is missing (package openbox): the window manager checks are skipped"
fi

mkdir -p "$work/bin" "$work/gstbl"
cp "$trainer" "$work/bin/QuintorTrainer"
ln -s "$cache/OptEScore-Official.gstbl" "$cache/OptEScore-Official-V.gstbl" "$work/gstbl/"

"$work/bin/QuintorTrainer" > "$work/out.txt" 2>&1 &
pid=$!

# A window line of the tree: 0x... "Title": ("class" "class")  WxH+X+Y  +X+Y. A title is
# matched by its beginning (the dice set names its dice source after it).
shown() { xwininfo -root -tree 2> /dev/null | grep -F " \"$1" | grep -q -E "$2"; }
window_id() { xwininfo -root -tree 2> /dev/null | grep -F " \"$1" | grep -E "$2" | awk '{print $1; exit}'; }
# "left top right bottom" (right and bottom exclusive) of a window's frame: the client area and
# the frame extents the window manager gives it; nothing until the manager has framed it.
frame() {
  local info x y w h l=0 r=0 t=0 b=0 ext
  info=$(xwininfo -id "$1" 2> /dev/null) || return 0
  x=$(awk '/Absolute upper-left X/ {print $4}' <<< "$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<< "$info")
  w=$(awk '/Width:/ {print $2}' <<< "$info")
  h=$(awk '/Height:/ {print $2}' <<< "$info")
  if [ -n "$wm" ]; then
    ext=$(xprop -id "$1" _NET_FRAME_EXTENTS 2> /dev/null | sed -n 's/.*= //p' | tr -d ,)
    [ -n "$ext" ] || return 0
    read -r l r t b <<< "$ext"
  fi
  echo "$((x - l)) $((y - t)) $((x + w + r)) $((y + h + b))"
}
# Waits up to 10 seconds for a window's frame to satisfy an awk condition on $1..$4.
frame_becomes() {
  local id f
  id=$(window_id "$1" "$2")
  for _ in $(seq 1 100); do
    f=$(frame "$id")
    [ -n "$f" ] && awk "{ exit !($3) }" <<< "$f" && return 0
    sleep 0.1
  done
  echo "window \"$1\": frame ${f:-unknown} does not satisfy $3"
  return 1
}
for _ in $(seq 1 300); do
  if shown "Quintor Trainer" ' 688x[0-9]+\+' && shown "Score Card" . && shown "Dice Set [Fair]" . &&
     shown "Game Recording 1" .; then
    break
  fi
  kill -0 "$pid" 2> /dev/null || { echo "the trainer ended early"; cat "$work/out.txt"; exit 1; }
  sleep 0.1
done
for w in "Quintor Trainer" "Score Card" "Dice Set [Fair]" "Game Recording 1"; do
  shown "$w" . || { echo "window \"$w\" not shown"; xwininfo -root -tree; exit 1; }
done
shown "Quintor Trainer" ' 688x[0-9]+\+' || { echo "main window is not 688 wide"; exit 1; }
if [ -n "$wm" ]; then
  frame_becomes "Quintor Trainer" ' 688x' '$1 == 0 && $2 == 0' || exit 1
  frame_becomes "Dice Set [Fair]" . '$1 == 0 && $2 == 105' || exit 1
  # The frames asked for. Motif hints "flags functions decorations ...": with the functions flag
  # (1) set, the functions close (0x20), minimise (0x8) and maximise (0x10) are offered only
  # where set. The main window: minimise and close, no maximise, and a fixed size, so the
  # manager allows no maximising; the score card and the dice set: utility windows, no box.
  functions() {
    local flags fn
    read -r flags fn _ <<< "$(xprop -id "$1" _MOTIF_WM_HINTS | sed -n 's/.*= //p' | tr -d ,)"
    [ -n "$fn" ] && (( flags & 1 )) && echo $(( fn & 0x38 ))
  }
  id=$(window_id "Quintor Trainer" ' 688x')
  [ "$(functions "$id")" = $((0x28)) ] || { echo "main window: functions $(functions "$id")"; exit 1; }
  actions=$(xprop -id "$id" _NET_WM_ALLOWED_ACTIONS)
  [[ $actions != *MAXIMIZE* ]] || { echo "the main window can be maximised: $actions"; exit 1; }
  for w in "Score Card" "Dice Set [Fair]"; do
    id=$(window_id "$w" .)
    type=$(xprop -id "$id" _NET_WM_WINDOW_TYPE)
    [[ $type == *"= _NET_WM_WINDOW_TYPE_UTILITY"* ]] || { echo "window \"$w\": $type"; exit 1; }
    [ "$(functions "$id")" = 0 ] || { echo "window \"$w\": functions $(functions "$id")"; exit 1; }
  done
fi

kill -TERM "$pid"
for _ in $(seq 1 200); do
  kill -0 "$pid" 2> /dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2> /dev/null && { echo "the trainer did not stop on SIGTERM"; exit 1; }
rc=0
wait "$pid" || rc=$?
pid=
[ "$rc" -eq 0 ] || { echo "the trainer ended with $rc"; cat "$work/out.txt"; exit 1; }

log="$work/bin/QuintorTrainer.log"
grep -q -F "ExePath = \"$work/bin\"" "$log" || { echo "no ExePath line"; cat "$log"; exit 1; }
tail -n 1 "$log" | grep -q '^Run Stopped on ' || { echo "log does not end with Run Stopped"; tail -n 3 "$log"; exit 1; }

if [ -n "$wm" ]; then
  # Large fonts: the designed places no longer all fit on 1280 by 1024.
  QT_FONT_DPI=144 "$work/bin/QuintorTrainer" > "$work/out.txt" 2>&1 &
  pid=$!
  for _ in $(seq 1 300); do
    shown "Game Recording 1" . && shown "Score Card" . && break
    kill -0 "$pid" 2> /dev/null || { echo "the trainer ended early"; cat "$work/out.txt"; exit 1; }
    sleep 0.1
  done
  for w in "Quintor Trainer" "Score Card" "Dice Set [Fair]" "Game Recording 1"; do
    frame_becomes "$w" ' [0-9]{2,}x[0-9]+\+' '$1 >= 0 && $2 >= 0 && $3 <= 1280 && $4 <= 1024' || exit 1
  done
  frame_becomes "Quintor Trainer" ' [0-9]{2,}x[0-9]+\+' '$1 == 0 && $2 == 0' || exit 1
  kill -TERM "$pid"
  wait "$pid" || { echo "the trainer with large fonts ended with $?"; exit 1; }
  pid=
fi
echo "trainer smoke test passed"
