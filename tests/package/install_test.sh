#!/usr/bin/env bash
# The installed tree works by itself: `cmake --install` into a temporary prefix (install), or the
# Debian packages packed by cmake/deb/build-debs.sh and unpacked with dpkg-deb -x (deb). Then the
# layout, the packages' split and declared dependencies, --version and the demo replay with the
# golden output, the example host built against the installed headers and CMake package (deb)
# and the pkg-config file (install).
# usage: install_test.sh install|deb SOURCE_DIR BUILD_DIR WORK_DIR GOLDEN_DIR SOVERSION
set -euo pipefail
mode=$1 source=$2 build=$3 work=$4 golden=$5 soversion=$6
fail() { echo "install_test: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
if [ "$mode" = deb ]; then
  "$source/cmake/deb/build-debs.sh" "$source" "$build" "$work/out" "$soversion" \
    > "$work/debs.log" 2>&1 || { cat "$work/debs.log"; fail "build-debs.sh failed"; }
  version=$(cat "$build/generated/package-version")
  # field PACKAGE NAME: a control field of the package.
  field() { dpkg-deb -f "$work/out/$1_${version}_$(dpkg --print-architecture).deb" "$2"; }
  packages=(libzuri-platform0 "libeedb26-$soversion" eedb26 libeedb26-dev)
  [ "$(ls "$work"/out/*.deb | wc -l)" = ${#packages[@]} ] || fail "not 4 packages: $(ls "$work/out")"
  for package in "${packages[@]}"; do
    dpkg-deb -x "$work/out/${package}_${version}_"*.deb "$work/root"
    [[ $(field "$package" Depends) != *"$package "* ]] || fail "$package depends on itself"
  done
  # Only the -dev package holds unversioned links, headers and the CMake files.
  for package in libzuri-platform0 "libeedb26-$soversion" eedb26; do
    ! dpkg-deb -c "$work/out/${package}_"*.deb | grep -E '\.so( |$)|/include/|\.cmake$|\.pc$' ||
      fail "$package holds development files"
  done
  depends=$(for p in "${packages[@]}"; do field "$p" Depends; done | tr '\n' ' ')
  for package in libc6 libstdc++6 libfmt libsimdjson libabsl; do
    [[ $depends == *"$package"* ]] || fail "no package depends on $package: $depends"
  done
  [[ $(field eedb26 Depends) == *"libeedb26-$soversion (= $version)"* ]] ||
    fail "the tool does not depend on the plug-in it loads: $(field eedb26 Depends)"
  [[ $(field "libeedb26-$soversion" Depends) == *libzuri-platform0* ]] ||
    fail "the plug-in does not depend on the platform: $(field "libeedb26-$soversion" Depends)"
  [ "$(field eedb26 Recommends)" = bash-completion ] || fail "the tool does not recommend bash-completion"
  root=$work/root/usr
else
  cmake --install "$build" --prefix "$work/root" > "$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install failed"; }
  root=$work/root
fi

for file in bin/eedb-replay share/man/man1/eedb-replay.1.gz \
            share/bash-completion/completions/eedb-replay \
            share/eedb26/schemas/input.schema.json share/eedb26/schemas/offer.schema.json \
            share/doc/eedb26/examples/demo.jsonl share/doc/eedb26/CHANGELOG.md \
            share/doc/eedb26/examples/host/host.cc include/eedb26/plugin/Loader.h; do
  [ -e "$root/$file" ] || fail "missing $file"
done
plugin=$(find "$root" -name "libeedb26.so.$soversion" -type l)
[ -n "$plugin" ] || fail "no SONAME link of the plug-in"
[ -n "$(find "$root" -name "libzuri_platform.so.$soversion" -type l)" ] ||
  fail "no SONAME link of the platform"

# The unpacked tool, nothing of the build tree on its path: its own plug-in, no --plugin.
version=$(env -u LD_LIBRARY_PATH "$root/bin/eedb-replay" --version) || fail "--version failed"
echo "$version"
grep -q "^plug-in $root/.*/libeedb26\.so\.[0-9]* [0-9]" <<< "$version" ||
  fail "--version does not show the installed plug-in: $version"
status=0
env -u LD_LIBRARY_PATH "$root/bin/eedb-replay" --format json \
  "$root/share/doc/eedb26/examples/demo.jsonl" > "$work/demo.json" || status=$?
[ "$status" = 1 ] || fail "the demo replay ended with status $status, not 1"
cmp -s "$work/demo.json" "$golden/demo.json" ||
  { diff "$golden/demo.json" "$work/demo.json" | head -n 20; fail "the demo replay differs"; }

if [ "$mode" = deb ]; then
  # The example host, as its developer builds it: only the installed tree, found through
  # find_package(eedb26 CONFIG); it loads the installed plug-in by default.
  cmake -S "$root/share/doc/eedb26/examples/host" -B "$work/host" -G Ninja \
    -DCMAKE_PREFIX_PATH="$root" -DCMAKE_BUILD_TYPE=Release > "$work/host.log" 2>&1 &&
    cmake --build "$work/host" >> "$work/host.log" 2>&1 ||
    { cat "$work/host.log"; fail "the example host does not build against the packages"; }
  env -u LD_LIBRARY_PATH "$work/host/host" > "$work/host.txt" 2>&1 ||
    { cat "$work/host.txt"; fail "the example host failed"; }
  sed -i "s|$root/[^ ]*/libeedb26|.../libeedb26|" "$work/host.txt"
  if [ -n "${EEDB_UPDATE_GOLDEN:-}" ]; then cp "$work/host.txt" "$golden/host.txt"; fi
  diff "$golden/host.txt" "$work/host.txt" || fail "the example host's output differs"
else
  # The pkg-config file of the installed tree: its prefix, the platform library, the plug-in.
  export PKG_CONFIG_PATH=$(dirname "$(find "$root" -name eedb26.pc)")
  flags=$(pkg-config --cflags --libs eedb26) || fail "pkg-config eedb26 failed"
  [[ $flags == *"-I$root/include/eedb26"* && $flags == *-lzuri_platform* ]] ||
    fail "pkg-config eedb26 gives $flags"
  [ "$(pkg-config --variable=plugin eedb26)" = "$plugin" ] ||
    fail "pkg-config's plug-in is $(pkg-config --variable=plugin eedb26), not $plugin"
fi
echo "install_test: $mode: the installed tool replays the demo with its own plug-in"
