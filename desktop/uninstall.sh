#!/bin/sh
# uninstall.sh MANIFEST: removes the files that an install listed in its
# manifest (CMake's install_manifest.txt, one installed path a line) and
# nothing else, under $DESTDIR when that is set, as for the install. Folders
# are left in place: others may share them.
set -eu
manifest=$1
destdir=${DESTDIR:-}
if [ ! -f "$manifest" ]; then
  echo "nothing to uninstall: $manifest is missing (run make install first)" >&2
  exit 1
fi
while IFS= read -r file || [ -n "$file" ]; do
  [ -n "$file" ] || continue
  path="$destdir$file"
  if [ -e "$path" ] || [ -L "$path" ]; then
    echo "removing $path"
    rm -f -- "$path"
  fi
done < "$manifest"
