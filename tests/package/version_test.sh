#!/usr/bin/env bash
# The packages' version from CHANGELOG.md's latest section (cmake/BuildVersion.cmake): a release
# is the plain version; "Unreleased" is a snapshot that sorts after the last release and before
# the next, carrying the commit; a section that is neither stops the build.
# usage: version_test.sh SOURCE_DIR
set -euo pipefail
source=$1
fail() { echo "version_test: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# version CHANGELOG_HEADING [git]: the package version of a tree with that changelog.
version() {
  local tree=$work/tree$RANDOM
  mkdir -p "$tree"
  printf '# Changelog\n\n%s\n\nText.\n\n## 0.1.0\n\nFirst version.\n' "$1" > "$tree/CHANGELOG.md"
  if [ "${2:-}" = git ]; then
    git -C "$tree" init -q && git -C "$tree" add CHANGELOG.md &&
      GIT_COMMITTER_DATE='2026-12-07T14:30:05Z' git -C "$tree" -c user.name=t -c user.email=t@t \
        commit -qm c
  fi
  cmake -DSOURCE_DIR="$tree" -DOUTPUT="$tree/BuildVersion.h" -DVERSION=0.2.0 \
    -DPACKAGE_VERSION_OUTPUT="$tree/package-version" -P "$source/cmake/BuildVersion.cmake" \
    > "$tree/log" 2>&1 || { echo "FAILED: $(tr "\n" " " < "$tree/log" | tr -s " ")"; return 0; }
  cat "$tree/package-version"
}

[ "$(version '## 0.2.0')" = 0.2.0 ] || fail "a release: $(version '## 0.2.0')"
[ "$(version '## Unreleased')" = 0.2.0+dev ] || fail "no git: $(version '## Unreleased')"
snapshot=$(version '## Unreleased' git)
[[ $snapshot =~ ^0\.2\.0\+dev\.20261207143005\.[0-9a-f]{12}$ ]] || fail "a snapshot: $snapshot"
dpkg --compare-versions "$snapshot" gt 0.2.0 && dpkg --compare-versions "$snapshot" lt 0.2.1 ||
  fail "$snapshot does not sort between 0.2.0 and 0.2.1"
bad=$(version '## 0.3.0')
[[ $bad == *"CHANGELOG.md's latest section is '0.3.0': neither 'Unreleased' nor the project version 0.2.0"* ]] ||
  fail "a changelog of another version: $bad"
echo "version_test: release 0.2.0, snapshot $snapshot"
