#!/bin/sh
# build_deb.sh BUILD_DIR WORK_DIR: packs the build in BUILD_DIR into a Debian
# package with CPack, working in WORK_DIR (emptied first; CPack installs the
# build into a staging folder there), and prints the package's path.
# CPack's install overwrites the build's install_manifest.txt: it is put back
# as it was, so that make uninstall still removes what make install put.
set -eu
build=$(cd "$1" && pwd)
work=$2
manifest="$build/install_manifest.txt"
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
if [ -f "$manifest" ]; then cp -p "$manifest" "$work/saved_manifest"; fi
restore() {
  if [ -f "$work/saved_manifest" ]; then mv "$work/saved_manifest" "$manifest"
  else rm -f "$manifest"; fi
}
trap restore EXIT
if ! cpack --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "cpack failed" >&2
  exit 1
fi
set -- "$work"/*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  cat "$work/cpack.log" >&2
  echo "cpack did not make exactly one package in $work" >&2
  exit 1
fi
echo "$1"
