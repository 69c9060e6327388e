#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 and tests them under Wine on Xvfb displays: the
# Windows layer's own test through CTest, then the end-to-end cases of tests/e2e.
# The Wine prefix lives in build/windows (TIDEFILL_WINEPREFIX overrides it) and is made once.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

source scripts/wine-env.sh

cmake --preset windows >/dev/null
cmake --build --preset windows --parallel 2

prepare_wine_prefix
# Wine draws the window frames itself, so the X window is the whole Win32 window (no window
# manager runs on Xvfb) and the board's client area is fully on screen.
if ! grep -q '"Decorated"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
fi
"$wineserver" -w

# Wine's desktop process stays bound to the display it started on, so each display gets its
# own wineserver: stop it before that display goes away.
scratch=$(mktemp -d)
xvfb_pid=""
stop_xvfb() {
  "$wineserver" -k 2>/dev/null || true
  if [[ -n "$xvfb_pid" ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}
trap 'stop_xvfb; rm -rf "$scratch"' EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$scratch/display" ]] && break
  sleep 0.1
done
[[ -s "$scratch/display" ]] || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(cat "$scratch/display") ctest --preset windows
stop_xvfb

# The study tool needs no display: a small seeded study must give the very summary the Linux
# build gives (timings aside), and bad usage its status 2.
status=0
cmake --preset release >/dev/null
cmake --build --preset release --target tidefill-study >/dev/null
study_args=(--seed 7 --boards 300 --size 10 --colors 4 --threads 2)
timeless() { tr -d '\r' | grep -v -e ' boards/s ' -e '^greedy  '; }
if diff <("$wine" build/windows/tidefill-study.exe "${study_args[@]}" | timeless) \
        <(build/release/tidefill-study "${study_args[@]}" | timeless); then
  echo "PASS study summary under Wine matches the Linux build"
else
  echo "FAIL study summary under Wine differs from the Linux build"
  status=1
fi
usage_status=0
"$wine" build/windows/tidefill-study.exe --size 2 >/dev/null 2>&1 || usage_status=$?
if [[ $usage_status -eq 2 ]]; then
  echo "PASS study bad usage exits with 2 under Wine"
else
  echo "FAIL study bad usage exited with $usage_status under Wine"
  status=1
fi
# That wineserver has no display; the end-to-end cases need one bound to theirs.
"$wineserver" -k 2>/dev/null || true

# The harness starts its own Xvfb; the program runs in a scratch directory, hence full paths.
python3 tests/e2e/tidefill_e2e.py --program "$wine $root/build/windows/tidefill.exe" \
  --f1 window --console wine --timeout 30 --pass-env WINEPREFIX,WINEDEBUG,WINEDLLOVERRIDES ||
  status=1
"$wineserver" -k 2>/dev/null || true
# tidefill-play.exe as a person plays it, its answers held against the Linux study's.
python3 tests/e2e/play_e2e.py --program "$wine $root/build/windows/tidefill-play.exe" --wine \
  --study "$root/build/release/tidefill-study" --timeout 30 || status=1
"$wineserver" -k 2>/dev/null || true
echo "Windows build and Wine tests took $((SECONDS - started)) s"
exit $status
