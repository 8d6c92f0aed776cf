#!/bin/sh
# Builds one starter kit with Debian's own toolchain and runs its tests against the shared message
# table. The system PATH keeps a newer toolchain elsewhere on PATH (rustup, say) from hiding what
# fails with Debian's.
#
#   clients/run_kit_tests.sh java|rust|ocaml BUILD_FOLDER TABLE
set -eu
PATH=/usr/local/bin:/usr/bin:/bin
export PATH
kit=$1 out=$2 table=$3
clients=$(cd "$(dirname "$0")" && pwd)

need() {
  for tool in "$@"; do
    [ -x "/usr/bin/$tool" ] || { echo "$kit kit: /usr/bin/$tool is missing; run scripts/install-deps.sh --kits" >&2; exit 1; }
  done
}

rm -rf "$out"
mkdir -p "$out"
case $kit in
  java)
    need javac java
    # shellcheck disable=SC2046  # one word per source file
    /usr/bin/javac -Xlint:all -Werror -d "$out" $(find "$clients/java/src" "$clients/java/test" -name '*.java')
    exec /usr/bin/java -cp "$out" KitTest "$table" ;;
  rust)
    need cargo rustc
    # A private CARGO_HOME: no user configuration, and nothing is fetched (there is nothing to fetch).
    CARGO_HOME=$out/cargo-home CARGO_TARGET_DIR=$out/target RUSTFLAGS="-D warnings" ROVER_MESSAGE_TABLE=$table \
      exec /usr/bin/cargo test --offline --locked --manifest-path "$clients/rust/Cargo.toml" ;;
  ocaml)
    need ocamlopt
    "$clients/ocaml/build.sh" "$out"
    exec "$out/kit_test" "$table" ;;
  *)
    echo "usage: $0 java|rust|ocaml BUILD_FOLDER TABLE" >&2
    exit 2 ;;
esac
