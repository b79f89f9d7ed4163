#!/bin/sh
# Runs the Exif fuzzer of BUILD_DIR for FUZZ_SECONDS (default 300) on one
# core. The working corpus lives in BUILD_DIR/corpus-exif and starts from
# fuzz/corpus/exif and the heads of the camera samples; new finds stay there
# between runs. Crashes go to BUILD_DIR/crashes/.
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build_dir=$1
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
testdata=${KURONEL_TESTDATA_DIR:-$fuzz_dir/../../shared/testdata}
seconds=${FUZZ_SECONDS:-300}
fuzzer=$build_dir/exif_fuzzer
corpus=$build_dir/corpus-exif
crashes=$build_dir/crashes
log=$build_dir/exif_fuzzer.log

if [ ! -x "$fuzzer" ]; then
  echo "$fuzzer is missing: build $build_dir first" >&2
  exit 1
fi
mkdir -p "$corpus" "$crashes"
cp "$fuzz_dir"/corpus/exif/* "$corpus"/
# The reader only looks at a file's head: 16 KiB of each sample (the Exif block of most) is enough.
if [ -d "$testdata/camera-jpegs" ]; then
  find "$testdata/camera-jpegs" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) |
    while read -r sample; do
      name=camera-$(printf '%s' "$sample" | cksum | cut -d' ' -f1)
      head -c 16384 "$sample" > "$corpus/$name"
    done
fi

status=0
"$fuzzer" "$corpus" -dict="$fuzz_dir/exif.dict" -max_len=16384 \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$crashes/" > "$log" 2>&1 || status=$?

tail -n 25 "$log"
echo "---"
grep -E '^#[0-9]+' "$log" | tail -n 1 | sed 's/^/last status: /'
grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log" || true
echo "corpus: $(ls "$corpus" | wc -l) files in $corpus"
if [ "$status" -ne 0 ]; then
  echo "the fuzzer stopped with status $status; see $log and $crashes" >&2
fi
exit "$status"
