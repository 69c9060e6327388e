#!/usr/bin/env bash
# Runs a short use of the release program (start-up, a series, end of input) under valgrind with
# SDL's dummy video driver, and fails on any memory error or on memory definitely or possibly
# lost at exit. A private session bus stands in for the desktop's: without one, SDL's D-Bus
# connection attempt leaks inside libdbus.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
program=$root/build/release/tidefill
[[ -x "$program" ]] || { echo "build the release preset first: $program is missing" >&2; exit 1; }

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
valgrind="valgrind --log-file=$logs/valgrind.%p.log --error-exitcode=99 --leak-check=full
  --errors-for-leak-kinds=definite,possible --show-leak-kinds=definite,possible"

status=0
SDL_VIDEODRIVER=dummy dbus-run-session -- python3 tests/e2e/tidefill_e2e.py \
  --program "$valgrind $program" --case series_then_end_of_input --timeout 120 \
  --pass-env SDL_VIDEODRIVER,DBUS_SESSION_BUS_ADDRESS || status=$?
if [[ $status -ne 0 ]]; then
  cat "$logs"/valgrind.*.log
fi
exit $status
