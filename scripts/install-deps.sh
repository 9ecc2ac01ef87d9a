#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, but only those missing,
# so that a second run costs a few dpkg queries and nothing else. As root it runs apt-get itself,
# otherwise through sudo; without either it says what is missing and how to install it.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libgmp-dev
  libcli11-dev
  qt6-base-dev libgl-dev qt6-charts-dev libqt6opengl6-dev
  libsqlite3-dev
  xvfb xauth x11-utils openbox
  clang libclang-rt-14-dev
  fonts-dejavu-core
  desktop-file-utils appstream groff-base man-db dpkg-dev e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# sudo keeps only a few variables, so the frontend is passed to apt-get through env.
if [ "$(id -u)" -eq 0 ]; then
  as_root=(env DEBIAN_FRONTEND=noninteractive)
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
else
  echo "These Debian packages are missing: ${missing[*]}" >&2
  echo "Installing them needs root rights, and sudo is not installed. As root, run:" >&2
  echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
echo "Installing missing packages: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
