#!/bin/sh
# command_line_test.sh KURONEL_BATCH KURONEL_EXIF SAMPLE_JPEG: both tools
# print their usage for -h and --help and exit 0; kuronel-exif still reads a
# file named --help when it follows "--", and wants at least one file.
set -u
batch=$1
exif=$2
sample=$3
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
exit $status
