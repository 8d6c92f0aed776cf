#!/bin/sh
# Builds the kit, the example bot and the kit's tests with Debian's OCaml (4.13, with its unix
# library) into a folder (default: _build beside this script):
#
#   clients/ocaml/build.sh [FOLDER]      then   FOLDER/example_bot [host] [port]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "${1:-$here/_build}" && cd "${1:-$here/_build}" && pwd)
ocamlopt=${OCAMLOPT:-/usr/bin/ocamlopt}
kit="rover_controls rover_messages rover_parser rover_reader rover_tracker rover_session rover_client"

compile() {  # compile FILE.ml: objects go to $out, never beside the sources
  name=$(basename "$1" .ml)
  "$ocamlopt" -w +a-4-9-40-41-42-44-45-70 -warn-error +a -I "$out" -c -o "$out/$name.cmx" "$1"
}
for module in $kit; do compile "$here/src/$module.ml"; done
compile "$here/src/example_bot.ml"
compile "$here/test/kit_test.ml"

objects=$(for module in $kit; do printf '%s ' "$out/$module.cmx"; done)
# shellcheck disable=SC2086  # the object list is split on purpose
"$ocamlopt" -I "$out" unix.cmxa $objects "$out/example_bot.cmx" -o "$out/example_bot"
# shellcheck disable=SC2086
"$ocamlopt" -I "$out" unix.cmxa $objects "$out/kit_test.cmx" -o "$out/kit_test"
