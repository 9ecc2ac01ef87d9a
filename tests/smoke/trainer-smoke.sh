#!/usr/bin/env bash
# Starts the trainer from a folder of its own, with both tables in the default location (the
# folder gstbl beside the program's folder), under Xvfb; checks that the main window and the
# game windows are shown, then asks it to terminate and checks the end of its run log.
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
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill -KILL "$pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/bin" "$work/gstbl"
cp "$trainer" "$work/bin/QuintorTrainer"
ln -s "$cache/OptEScore-Official.gstbl" "$cache/OptEScore-Official-V.gstbl" "$work/gstbl/"

"$work/bin/QuintorTrainer" > "$work/out.txt" 2>&1 &
pid=$!

# A window line of the tree: 0x... "Title": ("class" "class")  WxH+X+Y  +X+Y. A title is
# matched by its beginning (the dice set names its dice source after it).
shown() { xwininfo -root -tree 2> /dev/null | grep -F " \"$1" | grep -q -E "$2"; }
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
echo "trainer smoke test passed"
