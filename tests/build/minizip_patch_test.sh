#!/usr/bin/env bash
# cmake/minizip-unzip.patch against a zlib source whose unzip.c changed where we
# change it: the configuration stops with one line naming the hunk and its reason.
# The unchanged source configures and gives the unzip.c the build compiles.
#   minizip_patch_test.sh SOURCE_DIR ZLIB_SOURCE_DIR BUILD_DIR
set -euo pipefail
source=$1
zlib=$2
build=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/sfx-minizip.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

# configure ZLIB_DIR OUT: configures the project against that zlib source, without tests.
configure() {
  cmake -S "$source" -B "$2" -G Ninja -DSFX_ZLIB_SOURCE_DIR="$1" -DSFX_BUILD_TESTS=OFF >"$2.log" 2>&1
}

cp -r "$zlib" "$scratch/zlib"
configure "$scratch/zlib" "$scratch/good" || { cat "$scratch/good.log"; fail "the unchanged source does not configure"; }
cmp -s "$scratch/good/minizip/unzip.c" "$build/minizip/unzip.c" || fail "the patched unzip.c differs from the build's"

# One context line of a hunk changed, and what the configuration must say.
cases=(
  "s|^#include \"zlib.h\"\$|#include \"zlib.h\" /* changed */| => hunk 1 of cmake/minizip-unzip.patch (drop the forced NOUNCRYPT"
  "s|^                uInt i;\$|                unsigned i;| => hunk 3 of cmake/minizip-unzip.patch (the decryption loop goes to"
)
for c in "${cases[@]}"; do
  edit=${c%% => *}
  expected=${c#* => }
  rm -rf "$scratch/bad" "$scratch/bad-zlib"
  cp -r "$zlib" "$scratch/bad-zlib"
  sed -i "$edit" "$scratch/bad-zlib/contrib/minizip/unzip.c"
  cmp -s "$zlib/contrib/minizip/unzip.c" "$scratch/bad-zlib/contrib/minizip/unzip.c" && fail "the edit '$edit' changed nothing"
  if configure "$scratch/bad-zlib" "$scratch/bad"; then fail "a changed context line ($edit) still configures"; fi
  # CMake wraps the message; joined again it must name the hunk and its reason.
  message=$(sed -n '/CMake Error at cmake\/minizip.cmake/,/Call Stack/p' "$scratch/bad.log" | sed '1d;$d' | tr -s ' \n' ' ')
  case $message in
    *"$expected"*) echo "ok: $expected ...)" ;;
    *) cat "$scratch/bad.log"; fail "expected '$expected', got '$message'" ;;
  esac
done
