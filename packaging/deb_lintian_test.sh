#!/bin/sh
# deb_lintian_test.sh PACKAGE_DIR: lintian finds no error in the package that
# deb_contents_test.sh built into PACKAGE_DIR; its full report is printed.
# Exits with 77 (skipped) when lintian is not installed or no package was
# built.
set -eu
dir=$1
if ! command -v lintian > /dev/null 2>&1; then
  echo "lintian is missing (Debian package lintian): the package is not checked"
  exit 77
fi
set -- "$dir"/kuronel_*.deb
if [ ! -f "$1" ]; then
  echo "no package in $dir to check (dpkg-dev is missing?)"
  exit 77
fi
lintian --fail-on error --display-info "$1"
