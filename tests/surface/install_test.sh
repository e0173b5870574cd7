#!/usr/bin/env bash
# An install into a fresh prefix works as a packager's would: the drovine
# program starts from there with no library path set, the version is the
# header's everywhere (program, library file, drovine.pc), drovine.pc and
# the CMake package build the first program, and the CMake package refuses
# a component it does not have.
set -uo pipefail
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail=0
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: install"; exit 1; }
version=$(sed -nE 's/^#define DROVINE_VERSION_(MAJOR|MINOR|PATCH) ([0-9]+)$/\2/p' \
  "$source/include/drovine.h" | paste -sd.)
major=${version%%.*}
libdir=$(dirname "$(find "$prefix" -name "libdrovine.so.$version" | head -1)")
[ -n "$libdir" ] && [ -d "$libdir" ] || { echo "FAIL: no libdrovine.so.$version installed"; exit 1; }

out=$(env -u LD_LIBRARY_PATH "$prefix/bin/drovine" --version 2>&1)
[ "$out" = "drovine $version (library $version)" ] || { echo "FAIL: installed drovine: $out"; fail=1; }
readelf -d "$libdir/libdrovine.so.$version" | grep -q "SONAME.*libdrovine.so.$major\]" \
  || { echo "FAIL: soname"; fail=1; }
for f in share/man/man1/drovine.1 share/doc/drovine/LICENSE share/doc/drovine/host-guide.md \
  share/doc/drovine/examples/minimal-host.c include/drovine.h; do
  [ -f "$prefix/$f" ] || { echo "FAIL: $f not installed"; fail=1; }
done

export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion drovine)" = "$version" ] || { echo "FAIL: drovine.pc version"; fail=1; }
grep -q '^URL: .' "$libdir/pkgconfig/drovine.pc" || { echo "FAIL: drovine.pc has no URL"; fail=1; }
# shellcheck disable=SC2046
cc -std=c11 -Wall -Werror "$source/examples/minimal-host.c" $(pkg-config --cflags --libs drovine libpng) \
  -o "$prefix/minimal-host" || { echo "FAIL: minimal-host against drovine.pc"; fail=1; }
LD_LIBRARY_PATH=$libdir "$prefix/minimal-host" "$prefix/stroke.png" >/dev/null \
  || { echo "FAIL: minimal-host from the install"; fail=1; }

# The CMake package: the library component is found, an unknown one is not.
mkdir -p "$prefix/cm"
cat > "$prefix/cm/CMakeLists.txt" <<'CM'
cmake_minimum_required(VERSION 3.22)
project(probe C)
find_package(drovine REQUIRED COMPONENTS ${WANT})
add_executable(probe probe.c)
target_link_libraries(probe PRIVATE drovine::drovine)
CM
printf '#include <drovine.h>\n#include <string.h>\nint main(void){return strcmp(DRO_XGetVersion(), DROVINE_VERSION_STRING)!=0;}\n' \
  > "$prefix/cm/probe.c"
cmake -S "$prefix/cm" -B "$prefix/cm/b" -DCMAKE_PREFIX_PATH="$prefix" -DWANT=drovine >/dev/null 2>&1 \
  && cmake --build "$prefix/cm/b" >/dev/null 2>&1 && LD_LIBRARY_PATH=$libdir "$prefix/cm/b/probe" \
  || { echo "FAIL: the CMake package"; fail=1; }
if cmake -S "$prefix/cm" -B "$prefix/cm/c" -DCMAKE_PREFIX_PATH="$prefix" -DWANT=gui >/dev/null 2>&1; then
  echo "FAIL: the CMake package accepted an unknown component"; fail=1
fi
[ $fail -eq 0 ] && echo "install into a fresh prefix: all checks passed"
exit $fail
