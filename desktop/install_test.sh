#!/bin/sh
# install_test.sh BUILD_DIR EXPECTED_LIST: installs the build into a
# temporary DESTDIR under the prefix /usr/local, as make install does, and
# checks that exactly the files of EXPECTED_LIST (paths under the prefix; the
# Debian package holds the same under /usr) arrive, that the manifest
# names them, that the installed tools run, that every link of the
# installed README leads to an installed file, and that uninstall.sh removes
# them all. The build's own install manifest is kept as it was.
set -eu
build=$1
expected=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
manifest="$build/install_manifest.txt"
had_manifest=no
if [ -f "$manifest" ]; then cp -p "$manifest" "$work/saved_manifest"; had_manifest=yes; fi
restore() {
  if [ "$had_manifest" = yes ]; then cp -p "$work/saved_manifest" "$manifest"
  else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr/local > "$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }
cp "$manifest" "$work/manifest"

sed 's|^|/usr/local/|' "$expected" | sort > "$work/expected"
(cd "$root" && find . -type f -o -type l) | sed 's|^\.||' | sort > "$work/installed"
diff -u "$work/expected" "$work/installed" || fail "installed files differ from $expected"
sort "$work/manifest" | diff -u "$work/expected" - ||
  fail "the install manifest does not list exactly the installed files"

for tool in kuronel kuronel-batch kuronel-exif; do
  [ -x "$root/usr/local/bin/$tool" ] || fail "$tool is not executable"
done
"$root/usr/local/bin/kuronel-batch" --help > /dev/null || fail "installed kuronel-batch --help"
"$root/usr/local/bin/kuronel-exif" --help > /dev/null || fail "installed kuronel-exif --help"

# Every file the installed README links to is installed beside it.
doc="$root/usr/local/share/doc/kuronel"
for link in $(grep -o '](\([^)#:]*\))' "$doc/README.md" | sed 's/^](//; s/)$//'); do
  [ -e "$doc/$link" ] || fail "the installed README links to $link, which is not installed"
done

DESTDIR="$root" sh "$here/uninstall.sh" "$work/manifest" > /dev/null
left=$(cd "$root" && find . -type f -o -type l)
[ -z "$left" ] || fail "uninstall left files behind: $left"
echo "installed and removed $(wc -l < "$work/expected") files"
