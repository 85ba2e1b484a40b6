#!/usr/bin/env bash
# The installed tree as a product's build uses it: cmake --install into a scratch
# prefix, then examples/consumer configured against it with find_package, built, and
# its package run.
#   consumer_test.sh BUILD_DIR SOURCE_DIR [WINDOWS64_ENGINE]
# Where the build installs launcher64.exe (SFX_WINDOWS64_STUB) and a 64-bit Windows
# engine is given, the example makes its package for 64-bit Windows as well.
set -euo pipefail
build=$1
source=$2
windows64_engine=${3:-}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/sfx-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; fail "cmake --install"; }
for file in bin/sfxpkg share/sfx-launcher/launcher share/man/man1/sfxpkg.1 \
            share/doc/sfx-launcher/README.md share/doc/sfx-launcher/notices/zlib-LICENSE \
            lib/cmake/SfxLauncher/SfxLauncherConfig.cmake; do
  [ -f "$scratch/prefix/$file" ] || fail "the installed tree lacks $file"
done
version=$("$scratch/prefix/bin/sfxpkg" --version) || fail "the installed sfxpkg does not run"
echo "installed: $version"

stub64=$scratch/prefix/share/sfx-launcher/launcher64.exe
consumer_args=()
if [ -f "$stub64" ] && [ -f "$windows64_engine" ]; then
  consumer_args=(-DCONSUMER_WINDOWS_ENGINE="$windows64_engine")
else
  echo "note: no 64-bit Windows package: the build installs no launcher64.exe (SFX_WINDOWS64_STUB) or no 64-bit Windows engine was given"
fi
cmake -S "$source/examples/consumer" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$scratch/prefix" "${consumer_args[@]}" \
  >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log"; fail "configuring the example against the installed tree"; }
cmake --build "$scratch/consumer" >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; fail "building the example"; }
[ -x "$scratch/consumer/Setup" ] || fail "the example made no package"
"$scratch/prefix/bin/sfxpkg" verify -q "$scratch/consumer/Setup" || fail "the example's package does not verify"
if [ "${#consumer_args[@]}" -gt 0 ]; then
  "$scratch/prefix/bin/sfxpkg" verify -q "$scratch/consumer/Setup64.exe" || fail "the example's 64-bit Windows package does not verify"
  "$scratch/prefix/bin/sfxpkg" inspect "$scratch/consumer/Setup64.exe" | grep -q "launcher64.exe" ||
    fail "the 64-bit Windows package does not carry launcher64.exe"
  echo "ok: the example's 64-bit Windows package carries launcher64.exe and verifies"
fi

mkdir "$scratch/temp"
TMPDIR="$scratch/temp" "$scratch/consumer/Setup" /exitcode 0 >"$scratch/run.log" 2>&1 || fail "the package's exit status"
grep -q "setup.dat says: Hello from inside the package." "$scratch/run.log" || { cat "$scratch/run.log"; fail "the engine did not run"; }
[ -f "$scratch/temp/KIVOTemp0/setup.cfg" ] || fail "no working folder with setup.cfg"
echo "ok: the example's package ran its engine"
