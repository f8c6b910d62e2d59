#!/usr/bin/env bash
# Debian's own check of the packages that package.deb packed: no error, no warning, nothing at
# the info and pedantic levels either (hardening, symbols files, the description) on any of them.
# usage: lintian_test.sh DEB_DIR
set -euo pipefail
debs=$1
fail() { echo "lintian_test: $*" >&2; exit 1; }
command -v lintian > /dev/null || fail "lintian is not installed (make package installs it)"
mapfile -t files < <(ls "$debs"/*.deb)
[ ${#files[@]} = 4 ] || fail "expected the 4 packages of package.deb in $debs"
# A build tree configured for another prefix than /usr (the tests' own) installs its libraries
# in lib/, not lib/<multiarch>/ as `make package` does: the two tags of that layout are expected.
suppress=()
if ! dpkg-deb -c "$debs"/libzuri-platform0_*.deb | grep -q "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/"; then
  suppress=(--suppress-tags
            arch-dependent-file-not-in-arch-specific-directory,pkg-config-unavailable-for-cross-compilation)
  echo "lintian_test: not a multiarch layout: ${suppress[1]} expected"
fi
lintian --pedantic --display-info --fail-on error,warning,info,pedantic "${suppress[@]}" \
  "${files[@]}" || fail "lintian reports the packages above"
echo "lintian_test: ${files[*]##*/} clean"
