#!/usr/bin/env bash
# The main job of `make run`: make sure both tables exist in the trainer's default location (the
# folder gstbl beside the program's folder), then start the trainer.
set -euo pipefail
build=${1:-build}
bin="$build/bin"
tables="$build/gstbl"

mkdir -p "$tables"
if [ ! -f "$tables/OptEScore-Official.gstbl" ]; then
  "$bin/quintor" tables create --location "$tables"
elif [ ! -f "$tables/OptEScore-Official-V.gstbl" ]; then
  "$bin/quintor" tables create --variance --location "$tables"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: the trainer is a desktop program. Start it from a desktop session with" >&2
  echo "  make run      or      $bin/QuintorTrainer" >&2
  echo "Meanwhile the console program works here: $bin/quintor --help" >&2
  exit 1
fi
exec "$bin/QuintorTrainer"
