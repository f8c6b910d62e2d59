#!/usr/bin/env bash
# Packs the Debian packages of a build tree, one per install component, as Debian policy splits a
# library: libzuri-platform0 and libeedb26-0 (named after the SONAMEs, with shlibs, symbols and
# the ldconfig trigger), eedb26 (the tool, its man page, completion, schemas and examples) and
# libeedb26-dev (headers, unversioned links, CMake and pkg-config files). Each is staged with
# `cmake --install --component` under /usr, stripped, given its copyright file and changelog,
# its Depends computed by dpkg-shlibdeps, and packed by dpkg-deb as root:root without root.
# usage: build-debs.sh SOURCE_DIR BUILD_DIR OUT_DIR SOVERSION
set -euo pipefail
source_dir=$1 build=$2 out=$3 soversion=$4
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "build-debs: $*" >&2; exit 1; }
umask 022

version=$(cat "$build/generated/package-version")
arch=$(dpkg --print-architecture)
maintainer="eedb26 maintainers <eedb26@example.org>"
# The commit's time, so that a rebuild of one commit packs the same changelog.
date=$(git -C "$source_dir" show -s --format=%cD HEAD 2>/dev/null || date -R)

work=$(mktemp -d "${TMPDIR:-/tmp}/eedb26-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/debian"
rm -f "$out"/*.deb
# dpkg-shlibdeps reads the packages' names and architecture from a control file.
printf 'Source: eedb26\n\nPackage: eedb26\nArchitecture: any\n' > "$work/debian/control"

# stage PACKAGE COMPONENT: the component installed under debian/PACKAGE/usr.
stage() {
  local root=$work/debian/$1
  DESTDIR=$root cmake --install "$build" --prefix /usr --component "$2" > /dev/null ||
    fail "cmake --install --component $2 failed"
  find "$root" -type f -name '*.so.*' -exec chmod 0644 {} +
  find "$root" -type f \( -name '*.so.*' -o -path '*/bin/*' \) -exec strip --strip-unneeded \
    --remove-section=.comment --remove-section=.note {} +
  local doc=$root/usr/share/doc/$1
  mkdir -p "$doc" "$root/DEBIAN"
  install -m 0644 "$here/copyright" "$doc/copyright"
  {
    printf 'eedb26 (%s) unstable; urgency=medium\n\n' "$version"
    printf '  * Built from commit %s. The changes are in CHANGELOG.md\n' \
      "$(git -C "$source_dir" rev-parse --short=12 HEAD 2>/dev/null || echo unknown)"
    printf '    (/usr/share/doc/eedb26/CHANGELOG.md in the package eedb26).\n\n'
    printf ' -- %s  %s\n' "$maintainer" "$date"
  } | gzip -9n > "$doc/changelog.gz"
}

# library PACKAGE LIBNAME: SONAME link, shlibs, symbols and the ldconfig trigger.
library() {
  local root=$work/debian/$1
  local file; file=$(find "$root" -name "lib$2.so.$soversion" -type l)
  [ -n "$file" ] || fail "no lib$2.so.$soversion in $1"
  printf 'lib%s %s %s (>= %s)\n' "$2" "$soversion" "$1" "$version" > "$root/DEBIAN/shlibs"
  (cd "$work" && dpkg-gensymbols -q -p"$1" -P"$root" -v"$version" -e"$file" \
     -O"$root/DEBIAN/symbols" -c0 > /dev/null) || fail "dpkg-gensymbols failed for $1"
  sed -i '1a * Build-Depends-Package: libeedb26-dev' "$root/DEBIAN/symbols"
  echo 'activate-noawait ldconfig' > "$root/DEBIAN/triggers"
  chmod 0644 "$root/DEBIAN/"*
}

# depends PACKAGE: the Depends of the package's ELF files, from dpkg-shlibdeps.
depends() {
  local root=$work/debian/$1
  local -a elves=()
  mapfile -t elves < <(find "$root/usr" -type f \( -name '*.so.*' -o -path '*/bin/*' \))
  [ ${#elves[@]} -gt 0 ] || return 0
  (cd "$work" && dpkg-shlibdeps -O -x"$1" "${elves[@]}" 2> "$work/shlibdeps.log") |
    sed -n 's/^shlibs:Depends=//p' || { cat "$work/shlibdeps.log"; fail "dpkg-shlibdeps failed"; }
}

# control PACKAGE ARCH SECTION DEPENDS RECOMMENDS DESCRIPTION...: DEBIAN/control and md5sums.
control() {
  local package=$1 architecture=$2 section=$3 depends=$4 recommends=$5; shift 5
  local root=$work/debian/$package
  {
    echo "Package: $package"
    echo "Source: eedb26"
    echo "Version: $version"
    echo "Architecture: $architecture"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)"
    [ -z "$depends" ] || echo "Depends: $depends"
    [ -z "$recommends" ] || echo "Recommends: $recommends"
    echo "Section: $section"
    echo "Priority: optional"
    [ "$section" = net ] || echo "Multi-Arch: same"
    echo "Description: $1"
    shift
    local line
    for line in "$@"; do
      if [ -z "$line" ]; then echo " ."; else echo " $line"; fi
    done
  } > "$root/DEBIAN/control"
  (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
  chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out/${package}_${version}_$architecture.deb" \
    > /dev/null || fail "dpkg-deb failed for $package"
}

stage libzuri-platform0 platform
stage libeedb26-0 plugin
stage eedb26 tool
stage libeedb26-dev dev
library libzuri-platform0 zuri_platform
library libeedb26-0 eedb26

# The libraries first: dpkg-shlibdeps finds their shlibs and symbols beside them.
about=(
  "The plug-in libeedb26 translates the switch agent's software log entries"
  "into the EEDB entry formats of chip type 26, keeps the agent's hardware"
  "shadow and returns the SCHAN commands that write the chip."
)
control libzuri-platform0 "$arch" libs "$(depends libzuri-platform0)" "" \
  "platform library of the EEDB table utilities of chip type 26" \
  "${about[@]}" "" \
  "This package holds libzuri_platform, the host side of the table" \
  "utilities: the object runtime, tracing and logging, the plug-in loader," \
  "the table-utility framework, the chip's table layer and the software" \
  "table types."
control libeedb26-0 "$arch" libs "$(depends libeedb26-0)" "" \
  "EEDB table utilities of chip type 26 (plug-in)" \
  "${about[@]}" "" \
  "This package holds the plug-in, which a host loads with dlopen."
control eedb26 "$arch" net "$(depends eedb26), libeedb26-0 (= $version)" bash-completion \
  "replay tool for the EEDB table utilities of chip type 26" \
  "${about[@]}" "" \
  "This package holds eedb-replay, which replays JSON Lines of software log" \
  "entries through the plug-in and prints what each table utility did: the" \
  "shadow entries, the SCHAN commands, the failures. With its man page, bash" \
  "completion, JSON Schemas of its stream formats, example streams and an" \
  "example host."
control libeedb26-dev "$arch" libdevel \
  "libeedb26-0 (= $version), libzuri-platform0 (= $version), libfmt-dev, libabsl-dev" "" \
  "development files of the EEDB table utilities of chip type 26" \
  "${about[@]}" "" \
  "This package holds what a host is built with: the platform's headers," \
  "the CMake package eedb26 (targets eedb26::platform and eedb26::plugin)" \
  "and the pkg-config file eedb26.pc."
ls "$out"/*.deb
