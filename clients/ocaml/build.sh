#!/bin/sh
# Builds the kit, every bot in src/ (each file there that is not part of the kit, example_bot.ml to
# start with) and the kit's tests with Debian's OCaml (4.13, with its unix library) into a folder
# (default: _build beside this script):
#
#   clients/ocaml/build.sh [FOLDER]      then   FOLDER/example_bot [host] [port]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "${1:-$here/_build}" && cd "${1:-$here/_build}" && pwd)
ocamlopt=${OCAMLOPT:-/usr/bin/ocamlopt}
# In the order they depend on each other.
kit="rover_controls rover_messages rover_parser rover_reader rover_tracker rover_session rover_client"

compile() {  # compile FILE.ml: objects go to $out, never beside the sources
  "$ocamlopt" -w +a-4-9-40-41-42-44-45-70 -warn-error +a -I "$out" -c -o "$out/$(basename "$1" .ml).cmx" "$1"
}
link() {  # link NAME: the kit, then NAME.cmx, into the program NAME
  # shellcheck disable=SC2086  # one word per object file
  "$ocamlopt" -I "$out" unix.cmxa $objects "$out/$1.cmx" -o "$out/$1"
}

objects=
for module in $kit; do
  compile "$here/src/$module.ml"
  objects="$objects $out/$module.cmx"
done
for source in "$here"/src/*.ml; do
  name=$(basename "$source" .ml)
  case " $kit " in *" $name "*) continue ;; esac
  compile "$source"
  link "$name"
done
compile "$here/test/kit_test.ml"
link kit_test
