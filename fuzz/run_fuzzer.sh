#!/bin/sh
# Runs every fuzz target of BUILD_DIR one after the other, each for
# FUZZ_SECONDS (default 300) on one core (FUZZ_TARGETS may name a subset).
# Each target's working corpus lives in BUILD_DIR/corpus-NAME and starts from
# fuzz/corpus/NAME (the Exif one also from the heads of the camera samples,
# the camera files one from the HEIF samples);
# new finds stay there between runs. Crashes go to BUILD_DIR/crashes/NAME-*.
# The figures of each target (executions, seconds, corpus size, crashes) are
# printed and written to BUILD_DIR/fuzz-summary.txt.
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build_dir=$1
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
testdata=${KURONEL_TESTDATA_DIR:-$fuzz_dir/../testdata}
seconds=${FUZZ_SECONDS:-300}
targets=${FUZZ_TARGETS:-exif camera_files settings list_splitter timestamp}
crashes=$build_dir/crashes
summary=$build_dir/fuzz-summary.txt

# The Exif reader only looks at a file's head: 16 KiB of each sample (the
# Exif block of most) is enough.
add_camera_heads() {
  [ -d "$testdata/camera-jpegs" ] || return 0
  find "$testdata/camera-jpegs" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) |
    while read -r sample; do
      name=camera-$(printf '%s' "$sample" | cksum | cut -d' ' -f1)
      head -c 16384 "$sample" > "$1/$name"
    done
}

# Prints one summary line for target $1 from its log $2.
summarize() {
  name=$1 log=$2 elapsed=$3 status=$4
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ -z "$runs" ]; then
    runs=$(grep -E '^(#[0-9]+|Done [0-9]+ runs)' "$log" | tail -n 1 |
           sed -E 's/^#([0-9]+).*/\1/; s/^Done ([0-9]+) runs.*/\1/')
  fi
  size=$(ls "$build_dir/corpus-$name" | wc -l)
  found=$(ls "$crashes" | grep -c "^$name-" || true)
  printf '%-14s executions %12s  seconds %5s  corpus %6s  crashes %s  exit %s\n' \
    "$name" "${runs:-?}" "$elapsed" "$size" "$found" "$status"
}

mkdir -p "$crashes"
printf 'fuzz run %s, %s seconds per target\n' "$(date -u '+%Y-%m-%d %H:%M UTC')" \
  "$seconds" > "$summary"
overall=0
for name in $targets; do
  fuzzer=$build_dir/${name}_fuzzer
  corpus=$build_dir/corpus-$name
  log=$build_dir/${name}_fuzzer.log
  if [ ! -x "$fuzzer" ]; then
    echo "$fuzzer is missing: build $build_dir first" >&2
    exit 1
  fi
  mkdir -p "$corpus"
  cp "$fuzz_dir/corpus/$name"/* "$corpus"/
  max_len=4096
  if [ "$name" = exif ]; then
    add_camera_heads "$corpus"
    max_len=16384
  fi
  if [ "$name" = camera_files ]; then
    [ -d "$testdata/camera-heif" ] && cp "$testdata/camera-heif"/* "$corpus"/
    max_len=16384
  fi
  dict=
  [ -f "$fuzz_dir/$name.dict" ] && dict="-dict=$fuzz_dir/$name.dict"

  echo "=== $name: $seconds seconds"
  start=$(date +%s)
  status=0
  # shellcheck disable=SC2086
  "$fuzzer" "$corpus" $dict -max_len="$max_len" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$crashes/$name-" > "$log" 2>&1 ||
    status=$?
  elapsed=$(($(date +%s) - start))

  tail -n 8 "$log"
  line=$(summarize "$name" "$log" "$elapsed" "$status")
  echo "$line"
  echo "$line" >> "$summary"
  if [ "$status" -ne 0 ]; then
    echo "$name stopped with status $status; see $log and $crashes" >&2
    overall=$status
  fi
done

echo "=== summary ($summary)"
cat "$summary"
exit "$overall"
