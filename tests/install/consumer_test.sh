#!/usr/bin/env bash
# The installed tree as a product's build uses it: cmake --install into a scratch
# prefix (its docs' links and pictures must lead to installed files), then
# examples/consumer configured against it with find_package, built, and its package
# run; with the mingw-w64 toolchains, the same example cross-built for 32- and 64-bit
# Windows against the same installed tree (built and verified, not run). README's
# CMake snippet must be the example's own text, and README's sfxpkg examples are run
# as they stand against the installed tree.
#   consumer_test.sh BUILD_DIR SOURCE_DIR [WINDOWS64_ENGINE]
# Where the build installs launcher64.exe (SFX_WINDOWS64_STUB) and a 64-bit Windows
# engine is given, the Linux build of the example makes a package for 64-bit
# Windows as well. The Windows builds of the example need the stub they use
# installed (SFX_WINDOWS_STUB, SFX_WINDOWS64_STUB); without it they are left out
# with a note.
set -euo pipefail
build=$1
source=$2
windows64_engine=${3:-}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/sfx-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
prefix=$scratch/prefix
docs=$prefix/share/doc/sfx-launcher

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; fail "cmake --install"; }
for file in bin/sfxpkg share/sfx-launcher/launcher share/man/man1/sfxpkg.1 \
            share/doc/sfx-launcher/README.md share/doc/sfx-launcher/LICENSE \
            share/doc/sfx-launcher/notices/zlib-LICENSE \
            lib/cmake/SfxLauncher/SfxLauncherConfig.cmake; do
  [ -f "$prefix/$file" ] || fail "the installed tree lacks $file"
done
grep -q '^Copyright (c) 2026 the sfx-launcher authors$' "$docs/LICENSE" || fail "the installed LICENSE is not the project's"
python3 "$source/tests/install/doc_links.py" "$docs" || fail "the installed docs have broken links"
version=$("$prefix/bin/sfxpkg" --version) || fail "the installed sfxpkg does not run"
echo "installed: $version"

# README's snippet is the example's text between its two marker lines.
awk '/^# README shows this part/ { on = 1; next } /^# End of the part README shows/ { on = 0 } on' \
  "$source/examples/consumer/CMakeLists.txt" >"$scratch/snippet.cmake"
[ -s "$scratch/snippet.cmake" ] || fail "examples/consumer/CMakeLists.txt has no part marked for README"
awk '/^```cmake$/ { on = 1; block = ""; next } /^```$/ && on { on = 0; printf "%s", block > (out "/readme-" ++n ".cmake") }
     on { block = block $0 "\n" }' out="$scratch" "$source/README.md"
found=no
for block in "$scratch"/readme-*.cmake; do
  if [ -f "$block" ] && cmp -s "$block" "$scratch/snippet.cmake"; then found=yes; fi
done
[ "$found" = yes ] || { cat "$scratch/snippet.cmake"; fail "README has no cmake block equal to the part of examples/consumer/CMakeLists.txt above"; }
echo "ok: README's CMake snippet is the example's"

stub64=$prefix/share/sfx-launcher/launcher64.exe
consumer_args=()
if [ -f "$stub64" ] && [ -f "$windows64_engine" ]; then
  consumer_args=(-DCONSUMER_WINDOWS_ENGINE="$windows64_engine")
else
  echo "note: no 64-bit Windows package from the Linux build: the build installs no launcher64.exe (SFX_WINDOWS64_STUB) or no 64-bit Windows engine was given"
fi
cmake -S "$source/examples/consumer" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$prefix" "${consumer_args[@]}" \
  >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log"; fail "configuring the example against the installed tree"; }
cmake --build "$scratch/consumer" >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; fail "building the example"; }
[ -x "$scratch/consumer/Setup" ] || fail "the example made no package"
"$prefix/bin/sfxpkg" verify -q "$scratch/consumer/Setup" || fail "the example's package does not verify"
if [ "${#consumer_args[@]}" -gt 0 ]; then
  "$prefix/bin/sfxpkg" verify -q "$scratch/consumer/Setup64.exe" || fail "the example's 64-bit Windows package does not verify"
  "$prefix/bin/sfxpkg" inspect "$scratch/consumer/Setup64.exe" | grep -q "launcher64.exe" ||
    fail "the 64-bit Windows package does not carry launcher64.exe"
  echo "ok: the example's 64-bit Windows package carries launcher64.exe and verifies"
fi

mkdir "$scratch/temp"
TMPDIR="$scratch/temp" "$scratch/consumer/Setup" /exitcode 0 >"$scratch/run.log" 2>&1 || fail "the package's exit status"
grep -q "setup.dat says: Hello from inside the package." "$scratch/run.log" || { cat "$scratch/run.log"; fail "the engine did not run"; }
[ -f "$scratch/temp/KIVOTemp0/setup.cfg" ] || fail "no working folder with setup.cfg"
echo "ok: the example's package ran its engine"

# A Windows project: the mingw-w64 toolchain searches for packages only under its
# find root, so the package is named by SfxLauncher_DIR, as README says.
windows_engine_i686=
for arch in i686 x86_64; do
  stub=launcher.exe
  [ "$arch" = x86_64 ] && stub=launcher64.exe
  if [ ! -f "$prefix/share/sfx-launcher/$stub" ]; then
    echo "note: no $arch Windows build of the example: the build installs no $stub"
    continue
  fi
  if ! command -v "$arch-w64-mingw32-g++-win32" >/dev/null; then
    echo "note: no $arch Windows build of the example: $arch-w64-mingw32-g++-win32 is not installed"
    continue
  fi
  out=$scratch/consumer-$arch
  cmake -S "$source/examples/consumer" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-mingw.cmake" \
    -DSFX_WINDOWS_ARCH="$arch" -DSfxLauncher_DIR="$prefix/lib/cmake/SfxLauncher" \
    >"$out.configure.log" 2>&1 || { cat "$out.configure.log"; fail "configuring the $arch Windows build of the example against the installed tree"; }
  cmake --build "$out" >"$out.build.log" 2>&1 || { cat "$out.build.log"; fail "building the $arch Windows build of the example"; }
  [ -f "$out/Setup.exe" ] || fail "the $arch Windows build of the example made no Setup.exe"
  "$prefix/bin/sfxpkg" verify -q "$out/Setup.exe" || fail "the $arch Windows package does not verify"
  cmp -s -n "$(stat -c %s "$prefix/share/sfx-launcher/$stub")" "$prefix/share/sfx-launcher/$stub" "$out/Setup.exe" ||
    fail "the $arch Windows package does not begin with $stub"
  echo "ok: the example's $arch Windows build made Setup.exe behind $stub, and it verifies"
  [ "$arch" = i686 ] && windows_engine_i686=$out/setup_engine.exe
done

# README's sfxpkg examples, run as they stand: /usr is the scratch prefix, the
# project's build folders are links to the installed programs, and the product's
# files are small stand-ins (the engine a real i686 Windows program, which sfxpkg
# checks against launcher.exe).
if [ -z "$windows_engine_i686" ]; then
  echo "note: README's sfxpkg examples not run: they need launcher.exe and the i686 build of the example's engine"
  exit 0
fi
work=$scratch/readme
mkdir -p "$work/build/native/bin" "$work/build/windows/bin"
ln -s "$prefix/bin/sfxpkg" "$work/build/native/bin/sfxpkg"
ln -s "$prefix/share/sfx-launcher/launcher.exe" "$work/build/windows/bin/launcher.exe"
cp "$windows_engine_i686" "$work/SetupEngine.exe"
printf 'setup data\n' >"$work/setup.dat"
printf 'ui\n' >"$work/Setup_UI.dll"
printf 'exp\n' >"$work/Setup_Exp.dll"
printf 'Product-Pa55\n' | tee "$work/pw.txt" >"$work/password.txt"
export PFX_PASSWORD=test-only
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=readme example' -addext extendedKeyUsage=codeSigning \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 || fail "making a throwaway certificate"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout env:PFX_PASSWORD \
  -out "$work/codesign.pfx" >/dev/null 2>&1 || fail "making codesign.pfx"
awk '/^```sh$/ { on = 1; block = ""; next } /^```$/ && on { on = 0; if (block ~ /sfxpkg build/) printf "%s", block > (out "/example-" ++n ".sh") }
     on { block = block $0 "\n" }' out="$scratch" "$source/README.md"
examples=0
for example in "$scratch"/example-*.sh; do
  [ -f "$example" ] || continue
  examples=$((examples + 1))
  sed -i "s|/usr/|$prefix/|g" "$example"
  rm -f "$work/Setup.exe" "$work/Setup-unsigned.exe"
  if ! (cd "$work" && PATH="$prefix/bin:$PATH" bash -euo pipefail "$example") >"$example.log" 2>&1; then
    cat "$example" "$example.log"
    fail "README's example $examples does not run"
  fi
  "$prefix/bin/sfxpkg" verify -q "$work/Setup.exe" || fail "README's example $examples made no package that verifies"
done
[ "$examples" -ge 2 ] || fail "README's sfxpkg examples were not found (found $examples)"
echo "ok: README's $examples sfxpkg examples run and make packages that verify"
