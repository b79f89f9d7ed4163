#!/bin/sh
# command_line_test.sh KURONEL_BATCH KURONEL_EXIF SAMPLE_JPEG VERSION KURONEL:
# both tools print their usage for -h and --help and their version for
# --version and exit 0; kuronel-exif still reads a file named --help when it
# follows "--", and wants at least one file; output that cannot be written
# fails both tools; the window program without a display says so in one line
# and answers --version and --help without one.
set -u
batch=$1
exif=$2
sample=$3
version=$4
kuronel=$5
case $exif in /*) ;; *) exif="$PWD/$exif" ;; esac
status=0
fail() { echo "FAIL: $*"; status=1; }

for option in -h --help; do
  out=$("$batch" "$option") || fail "kuronel-batch $option exits $?"
  printf '%s\n' "$out" | head -n 1 | grep -q '^usage: kuronel-batch ' ||
    fail "kuronel-batch $option prints no usage line"
  out=$("$exif" "$option") || fail "kuronel-exif $option exits $?"
  printf '%s\n' "$out" | head -n 1 | grep -q '^usage: kuronel-exif ' ||
    fail "kuronel-exif $option prints no usage line"
done

# Help wins over files given with it.
out=$("$exif" "$sample" --help) || fail "kuronel-exif FILE --help exits $?"
printf '%s\n' "$out" | grep -q '^HasExif=' && fail "kuronel-exif FILE --help dumped the file"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$sample" "$work/--help"
out=$(cd "$work" && "$exif" -- --help) || fail "kuronel-exif -- --help exits $?"
printf '%s\n' "$out" | grep -q '^HasExif=1$' || fail "kuronel-exif -- --help did not read the file"
printf '%s\n' "$out" | grep -q '^usage:' && fail "kuronel-exif -- --help printed the usage"

"$exif" > /dev/null 2> "$work/err"
code=$?
[ "$code" = 2 ] || fail "kuronel-exif without a file exits $code, not 2"
grep -q '^usage: kuronel-exif ' "$work/err" || fail "kuronel-exif without a file shows no usage"
"$exif" -- > /dev/null 2>&1
code=$?
[ "$code" = 2 ] || fail "kuronel-exif -- without a file exits $code, not 2"

for tool in "$batch" "$exif"; do
  name=$(basename "$tool")
  out=$("$tool" --version) || fail "$name --version exits $?"
  [ "$out" = "$name $version" ] || fail "$name --version prints '$out'"
done

# A write to standard output that fails is an error, never a success.
mkdir "$work/card"
cp "$sample" "$work/card/IMG_0001.JPG"
expect_output_error() {  # NAME: the status and message of the run before
  code=$?
  [ "$code" = 1 ] || fail "$1 >/dev/full exits $code, not 1"
  grep -q 'cannot write to standard output' "$work/err" ||
    fail "$1 >/dev/full says nothing on standard error"
}
"$batch" --dry-run --dest "$work/out" "$work/card" > /dev/full 2> "$work/err"
expect_output_error kuronel-batch
"$exif" "$sample" > /dev/full 2> "$work/err"
expect_output_error kuronel-exif

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$kuronel" 2> "$work/err"
code=$?
[ "$code" = 1 ] || fail "kuronel without a display exits $code, not 1"
[ "$(wc -l < "$work/err")" = 1 ] && grep -q 'no display.*xvfb-run' "$work/err" ||
  fail "kuronel without a display says: $(cat "$work/err")"
# The window program answers --version and --help on the terminal, with or
# without a display, and opens no window for them.
for display in "DISPLAY=:99" "DISPLAY="; do
  out=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$display" "$kuronel" --version) ||
    fail "kuronel --version ($display) exits $?"
  [ "$out" = "kuronel $version" ] || fail "kuronel --version ($display) prints '$out'"
  for option in -h --help; do
    out=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$display" "$kuronel" "$option") ||
      fail "kuronel $option ($display) exits $?"
    printf '%s\n' "$out" | head -n 1 | grep -q '^usage: kuronel ' ||
      fail "kuronel $option ($display) prints no usage line"
  done
done
exit $status
