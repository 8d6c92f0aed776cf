#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; does
# nothing when they are all present already.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libgmp-dev zlib1g-dev libssl-dev
  rapidjson-dev  # replay reads records with it; map_load_bench compares the map reader with it
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri
  xvfb x11-utils xdotool imagemagick
  python3
  chromium fonts-dejavu-core nodejs
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
