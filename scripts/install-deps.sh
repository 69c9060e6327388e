#!/usr/bin/env bash
# Installs the Debian packages the build needs and that are missing. With "test" it adds what
# the tests need: Xvfb and xdotool for the end-to-end runs, valgrind and a session bus for the
# leak check, clang with libFuzzer for the fuzz target, mingw-w64 and Wine for the Windows
# program, Open MPI for the MPI study, Slurm and munge for the cluster recipes.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core libcli11-dev nlohmann-json3-dev help2man)
if [[ "${1:-}" == "test" ]]; then
  packages+=(python3 xvfb xauth x11-utils xdotool valgrind dbus-daemon clang libclang-rt-dev lintian
             g++-mingw-w64-x86-64-posix wine wine64 libopenmpi-dev openmpi-bin slurm-wlm munge)
  # Wine only recommends these, but its X11 driver and Direct2D (drawn through OpenGL) need them.
  packages+=(libgl1 libgl1-mesa-dri libglx-mesa0 libxcomposite1 libxcursor1 libxfixes3 libxi6
             libxinerama1 libxrandr2 libxrender1 libxxf86vm1)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
