#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian packages as a user meets them: the tree's licence lines and versions are checked, the
# packages are built from a clean copy of HEAD and checked by lintian, installed with apt, used
# (test_installed.py), then purged, and the system's file list must be as it was. Needs root for
# apt; .ci/run calls it as a stage of its own. Leaves the machine without the packages.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/deps.sh --tests
packages=(quorvex quorvex-data libqvmod-dev qvmod-tools)
version="$(head -n1 VERSION)"
fail() { echo "packaging: $*" >&2; exit 1; }

# The tree: every file the project wrote carries its licence; one version and one address.
python3 scripts/spdx.py --check
[ "$(dpkg-parsechangelog -S Version)" = "$version" ] || fail "debian/changelog does not start at $version"
for page in packaging/quorvex.6 tools/modplay.1 tools/modconv.1; do
  grep -q "^\.TH .* $version\" " "$page" || fail "$page does not name version $version"
done
homepage="$(sed -n 's/^Homepage: //p' debian/control)"
grep -q "^set(QVX_HOMEPAGE \"$homepage\"" cmake/install_game.cmake ||
  fail "debian/control's Homepage is not QVX_HOMEPAGE of cmake/install_game.cmake"

work="$(mktemp -d /tmp/qvx-packages-XXXXXX)"
purge_ours() {
  local installed
  installed="$( (dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null || true) |
               awk '$1 != "un" { print $2 }')"
  if [ -n "$installed" ]; then apt-get purge -y -qq $installed >/dev/null; fi
}
passed=0
trap 'purge_ours; if [ $passed = 1 ]; then rm -rf "$work"; else echo "packaging: kept $work" >&2; fi' EXIT
purge_ours   # what an interrupted run left installed
# Names only: a trigger may rewrite a cache, but no file may come or go.
snapshot() {
  local dir
  for dir in /usr /etc /opt /var/games /var/lib/games; do [ ! -d "$dir" ] || find "$dir" -xdev; done | LC_ALL=C sort
}

src="$work/quorvex-$version"
git archive --format=tar --prefix="quorvex-$version/" HEAD | tar -x -C "$work"
echo "Building the packages (log: $work/build.log)"
(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 noautodbgsym" dpkg-buildpackage -us -uc -b) >"$work/build.log" 2>&1 ||
  { tail -60 "$work/build.log"; fail "dpkg-buildpackage failed"; }
# Every tag fails but those overridden, each with its reason, in debian/*lintian-overrides.
lintian --pedantic -I -E --fail-on error,warning,info,pedantic,experimental \
  "$work/quorvex_${version}_$(dpkg --print-architecture).changes"

snapshot >"$work/before"
(cd "$work" && apt-get install -y -qq ./*.deb >/dev/null)
mkdir "$work/formats"
cmake -DSOURCE="$src" -DOUT="$work/formats/qvx_formats.py" -P tests/support/qvx_formats.cmake
QVX_VERSION="$version" QVX_SOURCE="$src" PYTHONDONTWRITEBYTECODE=1 \
  PYTHONPATH="$PWD/tests/packaging:$PWD/tests/e2e:$work/formats" /usr/bin/python3 -m unittest -v test_installed

apt-get purge -y -qq "${packages[@]}" >/dev/null
snapshot >"$work/after"
diff "$work/before" "$work/after" || fail "the purge left files behind or took others away"
passed=1
echo "packaging: the packages build, pass lintian, install, work and purge cleanly"
