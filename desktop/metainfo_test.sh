#!/bin/sh
# metainfo_test.sh APPSTREAMCLI METAINFO DESKTOP_ENTRY DOCS_DIR: the AppStream
# metadata validates without an error or a warning (appstreamcli fails on
# either), also beside the desktop entry where both are installed (its
# launchable names the entry), and its screenshots are exactly the pictures in
# DOCS_DIR, named as there. Exits with 77 (skipped) when appstreamcli is not
# installed.
set -eu
appstreamcli=$1
metainfo=$2
entry=$3
docs=$4
if [ -z "$appstreamcli" ] || ! command -v "$appstreamcli" > /dev/null 2>&1; then
  echo "appstreamcli is missing (Debian package appstream): metadata not checked"
  exit 77
fi
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$appstreamcli" validate --no-net "$metainfo" || fail "appstreamcli validate"
mkdir -p "$work/tree/usr/share/applications" "$work/tree/usr/share/metainfo"
cp "$entry" "$work/tree/usr/share/applications/"
cp "$metainfo" "$work/tree/usr/share/metainfo/"
"$appstreamcli" validate-tree --no-net "$work/tree" ||
  fail "appstreamcli validate-tree, with the desktop entry"

sed -n 's|.*<image>.*/\([^/<]*\)</image>.*|\1|p' "$metainfo" | sort > "$work/referenced"
(cd "$docs" && ls -- *.png) | sort > "$work/pictures"
[ -s "$work/referenced" ] || fail "no screenshot in $metainfo"
diff -u "$work/pictures" "$work/referenced" ||
  fail "the screenshots of $metainfo are not the pictures of $docs"
