#!/usr/bin/env bash
# Makes the Debian package rover-server_VERSION_ARCH.deb with CPack, checks
# that every program users run is in it with its manual page, and runs lintian
# on it (errors fail, warnings are printed).
#
#   scripts/package.sh          install what is missing, build build/package
#                               from scratch (Release) and package it
#   scripts/package.sh BUILD    package the Release build in BUILD, made from
#                               this tree (test.sh's build/server-release)
#
# The package is left in build/deb/; the last line printed is its path.
set -euo pipefail
cd "$(dirname "$0")/.."

# Programs under tools/ that only the project's developers run; every other
# one must be packaged as rover-NAME with the page rover-NAME(1).
dev_tools=(
  latency_probe  # measures telemetry lateness for the benchmarks
  rank_maps      # orders maps/README.md by pilot's scores
  soak           # the memory soak test
)

fail() {
  echo "package.sh: $*" >&2
  exit 1
}

if (($# == 0)); then
  scripts/install-deps.sh --package
  build=build/package
  rm -rf "$build"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DROVER_TESTS=OFF -DROVER_BENCHMARKS=OFF
  cmake --build "$build" -j"$(nproc)"
else
  build=$1
fi
[[ -f $build/CPackConfig.cmake ]] || fail "$build is not a configured build of this tree"
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
[[ $type == Release ]] || fail "$build is a ${type:-default} build; package a Release build"

out=$PWD/build/deb
rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out/cpack" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; fail "cpack failed"; }
debs=("$out"/cpack/*.deb)
((${#debs[@]} == 1)) || fail "cpack made ${#debs[@]} packages"
deb=$out/$(basename "${debs[0]}")
mv "${debs[0]}" "$deb"
rm -rf "$out/cpack"

# The programs are found in the tree, not listed here, so a new one cannot be
# forgotten: every executable under tools/ (scripts) and every C++ program
# its CMake files build.
programs=$(
  {
    find tools -type f -perm -u+x -not -path '*/__pycache__/*' -printf '%f\n' | sed 's/\.py$//'
    grep -rhoE --include=CMakeLists.txt 'add_executable\(\s*[A-Za-z0-9_]+' tools src/app | sed -E 's/.*\(\s*//'
  } | sort -u
)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
missing=()
for program in $programs; do
  [[ " ${dev_tools[*]} " == *" $program "* ]] && continue
  for file in ./usr/bin/rover-$program ./usr/share/man/man1/rover-$program.1.gz; do
    grep -qxF "$file" <<<"$contents" || missing+=("$file")
  done
done
if ((${#missing[@]})); then
  fail "not in the package: ${missing[*]} (install it with its man page from packaging/CMakeLists.txt, or list it" \
    "in dev_tools in scripts/package.sh)"
fi
if grep -q __pycache__ <<<"$contents"; then
  fail "the package holds __pycache__ folders"
fi

echo "lintian $(lintian --version | awk '{print $2}'):"
lintian --fail-on error --display-info --tag-display-limit 0 "$deb" || fail "lintian found errors in $deb"
echo "$deb"
