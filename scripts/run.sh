#!/usr/bin/env bash
# The main job of `make run`: for now the console program's printouts.
set -euo pipefail
build=${1:-build}
exec "$build/bin/quintor" rules
