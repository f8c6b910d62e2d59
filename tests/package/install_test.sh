#!/usr/bin/env bash
# The installed tool finds its installed plug-in by itself: `cmake --install` into a temporary
# prefix (install) or the Debian package unpacked with dpkg-deb -x (deb); then the layout, the
# package's declared dependencies, --version and the demo replay with the golden output.
# usage: install_test.sh install|deb BUILD_DIR WORK_DIR GOLDEN_DIR
set -euo pipefail
mode=$1 build=$2 work=$3 golden=$4
fail() { echo "install_test: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
if [ "$mode" = deb ]; then
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
  deb=$(ls "$work"/out/*.deb)
  dpkg-deb -x "$deb" "$work/root"
  depends=$(dpkg-deb -f "$deb" Depends)
  for package in libc6 libstdc++6 libfmt libsimdjson libabsl; do
    [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
  done
  [[ $depends != *eedb26* ]] || fail "the package depends on itself: $depends"
  root=$work/root/usr
else
  cmake --install "$build" --prefix "$work/root" > "$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install failed"; }
  root=$work/root
fi

for file in bin/eedb-replay share/man/man1/eedb-replay.1.gz \
            share/bash-completion/completions/eedb-replay \
            share/eedb26/schemas/input.schema.json share/eedb26/schemas/offer.schema.json \
            share/doc/eedb26/examples/demo.jsonl share/doc/eedb26/CHANGELOG.md; do
  [ -e "$root/$file" ] || fail "missing $file"
done
plugin=$(find "$root" -name 'libeedb26.so.*' -type l | head -n 1)
[ -n "$plugin" ] || fail "no SONAME link of the plug-in"
[ -n "$(find "$root" -name 'libzuri_platform.so.*' -type l)" ] || fail "no SONAME link of the platform"

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
echo "install_test: $mode: the installed tool replays the demo with its own plug-in"
