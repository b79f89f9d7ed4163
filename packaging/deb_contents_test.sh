#!/bin/sh
# deb_contents_test.sh BUILD_DIR INSTALLED_LIST VERSION: builds the package as
# make deb does, into BUILD_DIR/packaging/test-package, and checks its name,
# its control fields and that it holds exactly the files of INSTALLED_LIST
# (paths under the prefix) under /usr, owned by root. Exits with 77 (skipped)
# when dpkg-dev is not installed.
set -eu
build=$1
expected=$2
version=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$build/packaging/test-package"
for tool in dpkg-deb dpkg-shlibdeps cpack; do
  if ! command -v "$tool" > /dev/null 2>&1; then
    echo "$tool is missing (Debian package dpkg-dev): the package is not built"
    exit 77
  fi
done
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$(sh "$here/build_deb.sh" "$build" "$build/packaging/test-package")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "kuronel_${version}_${arch}.deb" ] ||
  fail "the package is named $(basename "$deb")"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kuronel ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
# The font and the platform plugins are named by hand, the Qt libraries by
# dpkg-shlibdeps from what the programs link (the hash of the copies' read-back
# included).
for dependency in fonts-ipafont-gothic qt6-qpa-plugins libc-l10n libqt6widgets6 libxxhash0 libc6; do
  echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$dependency" ||
    fail "the package does not depend on $dependency"
done

# ヘルプ → Help opens the guide through xdg-open.
echo "Recommends: $(field Recommends)"
field Recommends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx xdg-utils ||
  fail "the package does not recommend xdg-utils"

# dpkg-deb lists permissions, owner, size, date, time and path; a link adds
# "-> target". Folders are left out: make install creates them as needed.
dpkg-deb --contents "$deb" > "$work/contents"
awk '$1 !~ /^d/ && $2 != "root/root" { print "not owned by root: " $0 }' "$work/contents" > "$work/owners"
[ ! -s "$work/owners" ] || { cat "$work/owners" >&2; fail "files not owned by root"; }
awk '$1 !~ /^d/ { print $6 }' "$work/contents" | sort > "$work/packaged"
sed 's|^|./usr/|' "$expected" | sort > "$work/expected"
diff -u "$work/expected" "$work/packaged" ||
  fail "the package's files differ from $expected"
echo "$(basename "$deb") holds the $(wc -l < "$work/expected") listed files"
