#!/usr/bin/env bash
# Builds the Debian package and the Windows zip and checks them as a user gets them: the
# package installed with apt, used from the PATH and removed again; the zip unpacked and run
# under Wine. A tidefill package that was installed before is left alone (no round trip).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(Tidefill VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
failures=0
pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"

cmake --preset release >/dev/null
cmake --build --preset release --parallel 2
cpack --preset release >/dev/null
deb=$root/build/release/tidefill_${version}_amd64.deb
[[ -f "$deb" ]] && pass "package $deb" || fail "no package $deb"
contents=$(dpkg-deb -c "$deb")
for path in usr/bin/tidefill usr/bin/tidefill-study usr/bin/tidefill-play \
            usr/share/doc/tidefill/README.md usr/share/doc/tidefill/LICENSE \
            usr/share/applications/tidefill.desktop usr/share/applications/tidefill-play.desktop \
            usr/share/man/man1/tidefill-play.1.gz \
            usr/share/man/man1/tidefill-study.1.gz usr/share/man/man1/tidefill.1.gz \
            usr/share/doc/tidefill/copyright usr/share/doc/tidefill/changelog.gz; do
  grep -q " \./$path\$" <<<"$contents" && pass "package holds /$path" || fail "package lacks /$path"
done
# Debian's own checker: no errors (it warns only about what a native package may leave out).
if lintian_out=$(lintian --fail-on error "$deb" 2>&1); then pass "lintian finds no error"
else fail "lintian: $lintian_out"; fi
grep -q 'libsdl2' <(dpkg-deb -f "$deb" Depends) && pass "package depends on SDL2" ||
  fail "package does not depend on SDL2"

if dpkg-query -W -f='${Status}' tidefill 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIP install round trip: a tidefill package is installed already"
else
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y -qq "$deb" >/dev/null
  [[ $(command -v tidefill-study) == /usr/bin/tidefill-study ]] &&
    pass "tidefill-study is on the PATH" || fail "tidefill-study is not on the PATH"
  [[ $(tidefill-study --version) == "tidefill-study $version" ]] &&
    pass "installed tidefill-study --version" || fail "installed tidefill-study --version"
  [[ $(tidefill-play --version) == "tidefill-play $version" ]] &&
    pass "installed tidefill-play --version" || fail "installed tidefill-play --version"
  tidefill-study --seed 1 --boards 20 --size 8 --colors 4 | grep -q '^Ran 20 simulations' &&
    pass "a study from the installed program" || fail "a study from the installed program"
  # The program asks its first question in a terminal; the dummy video driver stands in for a
  # display. Closing the terminal is end of input, which ends it.
  if SDL_VIDEODRIVER=dummy python3 - <<'PY'; then
import os, pty, select, shutil, sys, time
path = shutil.which("tidefill")
pid, fd = pty.fork()
if pid == 0:
    os.execv(path, [path])
seen, deadline = b"", time.time() + 20
while b"Please enter a board size between 3 and 64: " not in seen and time.time() < deadline:
    if select.select([fd], [], [], 0.5)[0]:
        try:
            seen += os.read(fd, 1024)
        except OSError:
            break
os.close(fd)
os.waitpid(pid, 0)
sys.exit(0 if path == "/usr/bin/tidefill" and b"board size" in seen else 1)
PY
    pass "tidefill from the PATH asks its first question"
  else
    fail "tidefill from the PATH did not ask its first question"
  fi
  $sudo apt-get remove -y -qq tidefill >/dev/null
  [[ ! -e /usr/bin/tidefill && ! -e /usr/bin/tidefill-study && ! -e /usr/bin/tidefill-play ]] &&
    pass "package removed" ||
    fail "package left files behind"
fi

# The Windows zip, unpacked where a user would and run under Wine.
source scripts/wine-env.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --parallel 2
cpack --preset windows >/dev/null
zip=$root/build/windows/tidefill-${version}-win64.zip
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 -m zipfile -e "$zip" "$unpacked"
listed=$(cd "$unpacked" && find . -type f | sort | tr '\n' ' ')
expected="./tidefill-${version}-win64/LICENSE ./tidefill-${version}-win64/README.md ./tidefill-${version}-win64/tidefill-play.exe ./tidefill-${version}-win64/tidefill-study.exe ./tidefill-${version}-win64/tidefill.exe "
[[ $listed == "$expected" ]] && pass "zip holds the three programs, README and LICENSE" ||
  fail "zip holds: $listed"
prepare_wine_prefix
for program in tidefill-study tidefill-play; do
  reported=$("$wine" "$unpacked/tidefill-${version}-win64/$program.exe" --version | tr -d '\r')
  [[ $reported == "$program $version" ]] && pass "$program.exe --version under Wine" ||
    fail "$program.exe --version under Wine said: $reported"
done
"$wineserver" -k 2>/dev/null || true

echo "$failures package checks failed"
[[ $failures -eq 0 ]]
