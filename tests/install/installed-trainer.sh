#!/usr/bin/env bash
# An installed trainer in a program folder it cannot write to (as root: immutable where the file
# system allows, else only marked as an installation's by the manual page beside it), with a home
# of its own: the console program creates the tables without --location, the trainer started
# under Xvfb finds them there and opens its game windows, its window class is the one the
# desktop entry names, and its settings and run log land in the XDG folders; it stops cleanly
# on SIGTERM and the program folder holds nothing new.
# Usage: installed-trainer.sh CMAKE BUILD-DIR SOURCE-DIR
set -euo pipefail
cmake=$1 build=$2
work=$(mktemp -d)
bin=$work/prefix/bin
xpid= pid= locked=
cleanup() {
  set +e
  [ -n "$pid" ] && kill -KILL "$pid" 2> /dev/null
  # Waited for, so that the next run does not meet a server still going down.
  [ -n "$xpid" ] && kill "$xpid" 2> /dev/null && wait "$xpid" 2> /dev/null
  [ "$locked" = immutable ] && chattr -i "$bin"
  chmod -R u+w "$work" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; [ -f "$work/out.txt" ] && cat "$work/out.txt"; exit 1; }

"$cmake" --install "$build" --prefix "$work/prefix" > /dev/null
if [ "$(id -u)" -ne 0 ]; then
  chmod a-w "$bin"
elif command -v chattr > /dev/null && chattr +i "$bin" 2> /dev/null; then
  locked=immutable   # root passes every permission check; only an immutable folder refuses it
else
  # The installed manual page beside the folder still marks it as an installation's.
  echo "note: the program folder stays writable for root here (no immutable flag)"
fi
if { [ "$(id -u)" -ne 0 ] || [ -n "$locked" ]; } && [ -w "$bin" ]; then
  fail "the program folder is still writable"
fi

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
unset XDG_DATA_HOME QT_QPA_PLATFORM
mkdir -p "$HOME"
tables=$HOME/.local/share/QuintorTrainer/gstbl

"$bin/quintor" tables create > "$work/out.txt" 2>&1 || fail "quintor tables create"
grep -q -F "Table location: $tables" <("$bin/quintor" tables info) || fail "tables info names another location"
for t in OptEScore-Official.gstbl OptEScore-Official-V.gstbl; do
  [ "$(stat -c %s "$tables/$t")" -eq 6291456 ] || fail "$tables/$t is missing or not a whole table"
done
[ -f "$XDG_STATE_HOME/QuintorTrainer/quintor.log" ] || fail "the console program's run log is not in the state folder"

command -v Xvfb > /dev/null || fail "Xvfb is missing (package xvfb)"
# The server picks a free display itself (-displayfd). A server that another run is just shutting
# down can take the new socket with it, so the display is tried before use, and a new server
# started if it does not answer.
start_x() {
  local dispfile=$work/display
  : > "$dispfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$dispfile" 2> /dev/null &
  xpid=$!
  for _ in $(seq 1 100); do
    [ -s "$dispfile" ] && break
    kill -0 "$xpid" 2> /dev/null || return 1
    sleep 0.1
  done
  [ -s "$dispfile" ] || return 1
  export DISPLAY=":$(head -n 1 "$dispfile")"
  for _ in $(seq 1 20); do
    xwininfo -root > /dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
started=
for _ in 1 2 3 4 5; do
  if start_x; then started=1; break; fi
  kill "$xpid" 2> /dev/null; wait "$xpid" 2> /dev/null || true
  xpid=
done
[ -n "$started" ] || fail "Xvfb gave no usable display"

"$bin/QuintorTrainer" > "$work/out.txt" 2>&1 &
pid=$!
# A window line of the tree: 0x... "Title": ("instance" "class")  WxH+X+Y  +X+Y.
shown() { xwininfo -root -tree 2> /dev/null | grep -F " \"$1"; }
for _ in $(seq 1 300); do
  shown "Quintor Trainer\"" > /dev/null && shown "Score Card" > /dev/null &&
    shown "Dice Set [Fair]" > /dev/null && shown "Game Recording 1" > /dev/null && break
  kill -0 "$pid" 2> /dev/null || fail "the trainer ended early"
  sleep 0.1
done
for w in "Quintor Trainer\"" "Score Card" "Dice Set [Fair]" "Game Recording 1"; do
  shown "$w" > /dev/null || fail "window $w not shown (no tables found at the default location?)"
done
class=$(shown "Quintor Trainer\"" | sed -n 's/.*: ("[^"]*" "\([^"]*\)").*/\1/p' | head -n 1)
wmclass=$(sed -n 's/^StartupWMClass=//p' "$work/prefix/share/applications/org.example.QuintorTrainer.desktop")
[ -n "$class" ] && [ "$class" = "$wmclass" ] || fail "window class '$class' is not StartupWMClass '$wmclass'"

kill -TERM "$pid"
for _ in $(seq 1 200); do
  kill -0 "$pid" 2> /dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2> /dev/null && fail "the trainer did not stop on SIGTERM"
rc=0
wait "$pid" || rc=$?
pid=
[ "$rc" -eq 0 ] || fail "the trainer ended with $rc"

log=$XDG_STATE_HOME/QuintorTrainer/QuintorTrainer.log
grep -q -F "ExePath = \"$bin\"" "$log" || fail "no ExePath line in $log"
grep -q -F "Loading GameStateTable from file named \"$tables/OptEScore-Official-V.gstbl\"" "$log" ||
  fail "the variance table was not loaded from $tables"
tail -n 1 "$log" | grep -q '^Run Stopped on ' || fail "the log does not end with Run Stopped"
settings=$XDG_CONFIG_HOME/QuintorTrainer/QuintorTrainerSettings.ini
grep -q -x 'Version=1.2.1 beta' "$settings" || fail "no settings file in the configuration folder"
if grep -q 'Location' "$settings"; then fail "the default table location was written to the settings"; fi
[ "$(ls -A "$bin" | LC_ALL=C sort | tr '\n' ' ')" = "QuintorTrainer quintor " ] || fail "files were left in $bin: $(ls -A "$bin")"
echo "installed trainer passed"
