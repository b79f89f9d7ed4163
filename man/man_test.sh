#!/bin/sh
# man_test.sh GROFF MAN_DIR KURONEL_BATCH KURONEL_EXIF KURONEL: every page
# formats without a warning, and each program's page names every option of
# its --help; the window program's page names the installed guide.
set -eu
groff=$1
man_dir=$2
batch=$3
exif=$4
kuronel=$5
status=0
for page in "$man_dir"/*.1; do
  warnings=$(LC_ALL=C.UTF-8 "$groff" -man -ww -z -K utf8 -Tutf8 "$page" 2>&1)
  if [ -n "$warnings" ]; then echo "$page: $warnings"; status=1; fi
done
check_options() {  # PROGRAM PAGE
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 "$groff" -man -K utf8 -Tutf8 -P -c -P -b -P -u "$2")
  for option in $("$1" --help | grep -o -E -- '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u); do
    printf '%s\n' "$text" | grep -q -F -e "$option" ||
      { echo "$2 does not mention $option"; status=1; }
  done
}
check_options "$batch" "$man_dir/kuronel-batch.1"
check_options "$exif" "$man_dir/kuronel-exif.1"
# Without a display: a --help that opened the window would not end.
kuronel_without_display() {
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY= "$kuronel" "$@"
}
check_options kuronel_without_display "$man_dir/kuronel.1"
grep -q -F 'share/kuronel/guide/guide.html' "$man_dir/kuronel.1" ||
  { echo "kuronel.1 does not name the installed guide"; status=1; }
exit $status
