#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; does
# nothing when they are all present already.
#
#   scripts/install-deps.sh [--kits | --package]
#
# --package installs only what building the server and scripts/package.sh
# need. --kits adds the toolchains of the Java, Rust and OCaml starter kits (about
# 170 MB to download, 0.7 GB installed), which the tests need and the demo
# does not.
set -euo pipefail
build=(
  build-essential cmake pkg-config libgmp-dev zlib1g-dev libssl-dev
  rapidjson-dev  # replay reads records with it; map_load_bench compares the map reader with it
  freeglut3-dev libglu1-mesa-dev python3
)
# scripts/package.sh and the package's test: CPack's dependency scan
# (dpkg-shlibdeps, file), lintian, man pages with groff's warnings,
# systemd-socket-activate and systemd-analyze.
packaging=(dpkg-dev file lintian man-db systemd)
packages=(
  "${build[@]}" "${packaging[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  libgl1-mesa-dri
  xvfb x11-utils xdotool imagemagick
  chromium fonts-dejavu-core nodejs
  parallel slurm-wlm munge
  bubblewrap util-linux  # the tournament's sandbox: bwrap, setpriv, prlimit
)
if [[ "${1:-}" == "--package" ]]; then
  packages=("${build[@]}" "${packaging[@]}")
fi
if [[ "${1:-}" == "--kits" ]]; then
  packages+=(default-jdk rustc cargo ocaml)  # ocaml brings its unix library
fi
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Slurm's and munge's packages start their system daemons where they can;
  # the tests run private ones, so keep the system's down while installing.
  if [[ ! -e /usr/sbin/policy-rc.d ]]; then
    printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
    chmod +x /usr/sbin/policy-rc.d
    trap 'rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
