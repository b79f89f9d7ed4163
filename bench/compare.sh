#!/bin/bash
# compare.sh N: times kuronel-batch side by side with its peers (jhead, exiv2,
# exiftool, cp) on one synthetic camera card of N files, and prints a table
# of medians, ratios (ours / peer: lower is better) and targets.
#
# Environment:
#   KURONEL_BUILD      build folder holding tools/kuronel-batch and
#                      bench/kuronel-make-card (default: build/ of the repo)
#   KURONEL_BENCH_TMP  where the scratch folder goes (default /tmp); cards,
#                      copies and moves all stay on that file system
#   RUNS               timed rounds of the fast commands (default 5)
#   SLOW_RUNS          timed rounds of exiftool (default 3)
#   EXIFTOOL_SORT_FILES  exiftool's date-folder copy is timed on a subset of
#                      about this many files and scaled to N (default 1000;
#                      0: the whole card)
#   BIG_N              files of the card for the peak memory line
#                      (default 100000; 0: skip it)
#   BENCH_PARTS        which parts run, any of (default: all but
#                      cold-dating and exfat-copy, which "cold" stands for):
#                        warm         the warm part, on KURONEL_BENCH_TMP
#                        image        a card of IMAGE_N small files, warm,
#                                     copied within a private ext4 image
#                        cold         = cold-dating exfat-copy
#                        cold-dating  the cold dating on exFAT and on ext4
#                        exfat-copy   the exFAT card of COLD_EXFAT_N files,
#                                     cold, copied into a private ext4 image
#                        real         a real-sized card on exFAT, cold,
#                                     copied into a private ext4 image
#                        sd           the same card read through a reader of
#                                     SD_READ_MBPS
#   COLD_RUNS          timed rounds of each cold-cache command (default RUNS)
#   COLD_EXFAT_N       files of the card on the exFAT drive (default 2000);
#                      the card on the ext4 drive has N
#   IMAGE_N            files of the card of the image part (default 2000)
#   REAL_CARD_MB       megabytes of the real-sized card (default 3072)
#   REAL_MOVIE_MB      megabytes of its one movie (default 1024)
#   REAL_PAIRS         1 (default): its photos RAW+JPEG pairs (RAWs of
#                      20-30 MB, JPEGs of 6-12 MB, one photo in eight a lone
#                      HEIF); 0: JPEGs alone
#   REAL_RUNS          timed rounds of the real and sd parts (default
#                      COLD_RUNS)
#   SD_READ_MBPS       the reader's speed of the sd part in MB/s of 10^6
#                      bytes (default 90, a fast SD card)
#   BEFORE_BATCH       another kuronel-batch (an earlier commit's build),
#                      timed in the same dating and copy rounds as ours (warm
#                      and cold): "before" in the lines under the tables, so
#                      that a change is measured under the same load as what
#                      it changed
#
# The cold part lays the card out on fresh drives of the test rig (exFAT
# through exfat-fuse, and ext4, each on a loop device) and drops the page
# cache before every timed run (sync; echo 3 > /proc/sys/vm/drop_caches), as
# a card just put in the reader is in no cache. The image, exfat-copy, real
# and sd parts copy into a private ext4 image on a loop device with direct
# I/O (losetup --direct-io=on): its pages are cached once, and a flush
# reaches the disk under it, whatever else the machine's / holds. The sd
# part limits the reads of the card's loop device with the cgroup io
# controller (cgroup v2 io.max, or v1 blkio.throttle.read_bps_device where
# the io controller is on the v1 hierarchy) and puts the card's FUSE driver
# and each timed command in that cgroup. These parts need root; without it
# (or without a cgroup to limit reads with) each is skipped with one line
# saying so. Drives and the cgroup are taken down however the script ends.
#
# Commands of one comparison are timed in alternating rounds (A B C, A B C,
# ...), one hyperfine call per round with --runs 1, the first round with
# --warmup 1, so that a load that comes and goes on a shared machine falls on
# every command alike. Medians are taken over the rounds from hyperfine's
# JSON exports, which are kept in the results folder printed at the end.
set -euo pipefail

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
  echo "usage: $0 N"
}

if [ $# -ne 1 ] || ! [[ $1 =~ ^[0-9]+$ ]] || [ "$1" -lt 100 ]; then
  usage >&2
  exit 2
fi
N=$1
RUNS=${RUNS:-5}
SLOW_RUNS=${SLOW_RUNS:-3}
EXIFTOOL_SORT_FILES=${EXIFTOOL_SORT_FILES:-1000}
BIG_N=${BIG_N:-100000}
BENCH_PARTS=${BENCH_PARTS:-warm image cold real sd}
COLD_RUNS=${COLD_RUNS:-$RUNS}
COLD_EXFAT_N=${COLD_EXFAT_N:-2000}
IMAGE_N=${IMAGE_N:-2000}
REAL_CARD_MB=${REAL_CARD_MB:-3072}
REAL_MOVIE_MB=${REAL_MOVIE_MB:-1024}
REAL_PAIRS=${REAL_PAIRS:-1}
REAL_RUNS=${REAL_RUNS:-$COLD_RUNS}
SD_READ_MBPS=${SD_READ_MBPS:-90}
BEFORE_BATCH=${BEFORE_BATCH:-}
DAY_PHOTOS=2000
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${KURONEL_BUILD:-$repo/build}
batch=$build/tools/kuronel-batch
make_card=$build/bench/kuronel-make-card
bench_drive=$build/bench/kuronel-bench-drive
parts=" "
for part in $BENCH_PARTS; do
  case $part in
    cold) parts+="cold-dating exfat-copy " ;;
    warm | image | cold-dating | exfat-copy | real | sd) parts+="$part " ;;
    *)
      echo "compare.sh: unknown part \"$part\" in BENCH_PARTS" >&2
      exit 2
      ;;
  esac
done
has_part() { [[ $parts == *" $1 "* ]]; }

# --- tools -----------------------------------------------------------------
missing=""
for tool in hyperfine exiftool jhead exiv2 find cp sync awk df xargs mkfifo; do
  command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
[ -x /usr/bin/time ] || missing="$missing /usr/bin/time"
if [ -n "$missing" ]; then
  echo "compare.sh: missing:$missing" >&2
  echo "Install the benchmark tools with: make bench-deps" >&2
  exit 1
fi
for program in "$batch" "$make_card" "$bench_drive" ${BEFORE_BATCH:+"$BEFORE_BATCH"}; do
  if [ ! -x "$program" ]; then
    echo "compare.sh: $program is missing: run make build (or set KURONEL_BUILD)" >&2
    exit 1
  fi
done

# --- scratch space -----------------------------------------------------------
tmp_root=${KURONEL_BENCH_TMP:-/tmp}
# About 13 KB a file: the card, a copy read back and one not, the card's copy
# for the move and the move's output, the two day cards with their copies,
# and the big card.
need_kb=100000
has_part warm && need_kb=$(( need_kb + (N * 5 + DAY_PHOTOS * 4 + BIG_N) * 14 + N * 40 ))
# The two drives' images and two copies of the exFAT card; the private ext4
# images, which hold one copy (and the image part's card); the real-sized
# card's exFAT image.
has_part cold-dating && need_kb=$(( need_kb + (N + COLD_EXFAT_N * 5) * 14 ))
has_part exfat-copy && need_kb=$(( need_kb + COLD_EXFAT_N * 14 * 3 + 300000 ))
has_part image && need_kb=$(( need_kb + IMAGE_N * 14 * 3 + 300000 ))
if has_part real || has_part sd; then
  need_kb=$(( need_kb + REAL_CARD_MB * 1024 * 23 / 10 + 1000000 ))
fi
avail_kb=$(df -Pk "$tmp_root" | awk 'NR == 2 { print $4 }')
if [ "$avail_kb" -lt "$need_kb" ]; then
  echo "compare.sh: $tmp_root has $((avail_kb / 1024)) MB free, about $((need_kb / 1024)) MB are needed" >&2
  exit 1
fi
scratch=$(mktemp -d "$tmp_root/kuronel-bench.XXXXXX")
results=$(mktemp -d "$tmp_root/kuronel-bench-results.XXXXXX")
drive_pids=()
drive_fds=()
# Closing a drive's standard input makes kuronel-bench-drive take it down.
stop_drives() {
  local fd pid
  for fd in "${drive_fds[@]}"; do exec {fd}>&-; done
  for pid in "${drive_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  drive_fds=()
  drive_pids=()
}
# The cgroup of the sd part's reader, while it exists, and the file that
# moves a process into it.
reader_cgroup=""
reader_procs=""
trap 'stop_drives; remove_reader; rm -rf "$scratch"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
q() { printf '%q' "$1"; }

echo "== machine"
echo "cores: $(nproc); $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')"
echo "memory: $(awk '/MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo);" \
  "file system of $tmp_root: $(df -PT "$tmp_root" | awk 'NR == 2 { print $2 }'); kernel $(uname -r)"
echo "load at start: $(uptime | sed 's/.*load average/load average/')"
echo "results: $results"

# --- the timing rounds -------------------------------------------------------
# rounds GROUP ROUNDS WARMUP  LABEL PREPARE COMMAND [LABEL PREPARE COMMAND]...
# Times the commands in ROUNDS alternating rounds; WARMUP 1 adds one untimed
# run of each command to the first round.
rounds() {
  local group=$1 count=$2 warmup=$3
  shift 3
  local args=()
  while [ $# -gt 0 ]; do
    args+=(--command-name "$1" --prepare "$2" "$3")
    shift 3
  done
  local round
  for round in $(seq 1 "$count"); do
    local warm=0
    [ "$round" = 1 ] && warm=$warmup
    printf '  %s: round %s of %s\n' "$group" "$round" "$count"
    if ! hyperfine --style basic --warmup "$warm" --runs 1 \
        --export-json "$results/$group-$round.json" "${args[@]}" \
        >>"$results/$group.log" 2>&1; then
      echo "compare.sh: hyperfine failed; see $results/$group.log:" >&2
      tail -20 "$results/$group.log" >&2
      exit 1
    fi
  done
}

# median GROUP LABEL: the median time in seconds of LABEL over GROUP's rounds.
median() {
  awk -v label="$2" '
    /"command":/ { line = $0; sub(/^[^:]*: *"/, "", line); sub(/", *$/, "", line); name = line }
    /"median":/ && name == label { value = $2; sub(/,$/, "", value); print value }
  ' "$results/$1"-*.json | sort -g | awk '
    { v[NR] = $1 }
    END {
      if (NR == 0) { print "nan"; exit }
      if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2
    }'
}

# line MEASURE OURS PEER TARGET_OP TARGET: one row with ratio and verdict.
line() {
  awk -v m="$1" -v a="$2" -v b="$3" -v op="$4" -v t="$5" 'BEGIN {
    r = a / b
    verdict = "-"
    if (op == "<=") verdict = (r <= t) ? "met" : "NOT met"
    target = (op == "-") ? "-" : op " " t
    printf "| %-64s | %9.3f | %9.3f | %8.4f | %-7s | %-7s |\n", m, a, b, r, target, verdict
  }'
}

table_head() {
  printf '| %-64s | %9s | %9s | %8s | %-7s | %-7s |\n' measure "ours s" "peer s" ratio target verdict
  echo "|------------------------------------------------------------------|-----------|-----------|----------|---------|---------|"
}

# check_dry_run CARD PHOTOS [OPTION...]: our program must do the whole job
# right before its time means anything.
check_dry_run() {
  local summary
  summary=$("$batch" --exif "${@:3}" --dry-run --dest "$scratch/out-dry" "$1" | tail -1)
  if [ "$summary" != "# $2 files: $2 未処理" ]; then
    echo "compare.sh: the dry run of $1 planned \"$summary\", expected $2 photos" >&2
    exit 1
  fi
}

B=$(q "$batch")
S=$(q "$scratch")
OUT=$(q "$scratch/out")
flush="sync -f $S"

warm_part() {
  # --- the card ----------------------------------------------------------------
  card=$scratch/card
  echo "== laying out a card of $N files"
  "$make_card" "$card" "$N"
  photos=$(find "$card" -type f -iname '*.jpg' | wc -l)
  files=$(find "$card" -type f | wc -l)

  check_dry_run "$card" "$photos"

  C=$(q "$card")

  # --- dating ----------------------------------------------------------------
  echo "== dating"
  local before=()
  [ -n "$BEFORE_BATCH" ] && before=(before true
    "$(q "$BEFORE_BATCH") --exif --dry-run --dest $OUT $C >/dev/null")
  rounds dating "$RUNS" 1 \
    "${before[@]}" \
    ours true "$B --exif --dry-run --dest $OUT $C >/dev/null" \
    jhead true "find $C -iname '*.jpg' -exec jhead {} + >/dev/null" \
    exiv2 true "find $C -iname '*.jpg' -exec exiv2 -q -g Exif.Photo.DateTimeOriginal -Pv {} + >/dev/null"
  # The card is in the cache from the rounds before: no warm-up of exiftool.
  rounds dating-exiftool "$SLOW_RUNS" 0 \
    exiftool-fast2 true "exiftool -fast2 -DateTimeOriginal -r $C >/dev/null"

  # --- a card of today: RAW+JPEG pairs, HEIF photos, MP4 movies ---------------
  # About N files: each photo of the card maker is a pair here. The peers read
  # the photos (JPEG, RAW, HEIF) that ours dates from their Exif.
  echo "== a card of today: RAW+JPEG pairs, HEIF photos and MP4 movies"
  raw_card=$scratch/raw-card
  "$make_card" "$raw_card" "$(( N / 2 ))" --raw-pairs
  local raw_names=(-iname '*.jpg' -o -iname '*.heic')
  local extension
  for extension in cr3 nef arw dng raf orf rw2 cr2 pef; do
    raw_names+=(-o -iname "*.$extension")
  done
  raw_photos=$(find "$raw_card" -type f \( "${raw_names[@]}" \) | wc -l)
  check_dry_run "$raw_card" "$raw_photos" --raw-heif-mp4
  R=$(q "$raw_card")
  local raw_find="find $R -type f \\( ${raw_names[*]@Q} \\)"
  # exiv2 ends non-zero when one file puzzles it; its time still counts.
  rounds raw-dating "$RUNS" 1 \
    ours true "$B --exif --raw-heif-mp4 --dry-run --dest $OUT $R >/dev/null" \
    exiv2 true "$raw_find -exec exiv2 -q -g Exif.Photo.DateTimeOriginal -Pv {} + >/dev/null 2>&1; true"
  rounds raw-dating-exiftool "$SLOW_RUNS" 0 \
    exiftool-fast2 true "exiftool -fast2 -DateTimeOriginal -r $R >/dev/null"
  rm -rf "$raw_card"

  # --- copy and move -----------------------------------------------------------
  echo "== copy and move"
  copy_out=$(q "$scratch/out-copy")
  unverified_out=$(q "$scratch/out-copy-unverified")
  cp_out=$(q "$scratch/out-cp")
  move_out=$(q "$scratch/out-move")
  card_copy=$(q "$scratch/card-copy")
  before=()
  [ -n "$BEFORE_BATCH" ] && before=(before-copy "rm -rf $copy_out && $flush"
    "$(q "$BEFORE_BATCH") --exif --dest $copy_out $C >/dev/null")
  rounds copy "$RUNS" 1 \
    "${before[@]}" \
    ours-copy "rm -rf $copy_out && $flush" "$B --exif --dest $copy_out $C >/dev/null" \
    ours-unverified "rm -rf $unverified_out && $flush" \
    "$B --exif --no-verify --dest $unverified_out $C >/dev/null" \
    cp-sync "rm -rf $cp_out && $flush" "cp -r $C $cp_out && sync -f $cp_out" \
    ours-move "rm -rf $move_out $card_copy && cp -r --reflink=never $C $card_copy && $flush" \
    "$B --exif --move --dest $move_out $card_copy >/dev/null"

  # exiftool's date-folder copy (about 150 files a second here): on a subset of
  # the card's first DCIM folders, scaled to the whole card by the file count.
  # Like cp it is followed by a flush, as our copies are on disk when we end.
  subset=$card
  scale=1
  if [ "$EXIFTOOL_SORT_FILES" -gt 0 ] && [ "$files" -gt "$EXIFTOOL_SORT_FILES" ]; then
    subset=$scratch/subset
    mkdir -p "$subset/DCIM"
    mapfile -t dcim < <(find "$card/DCIM" -mindepth 1 -maxdepth 1 -type d | sort)
    taken=0
    for folder in "${dcim[@]}"; do
      [ "$taken" -ge "$EXIFTOOL_SORT_FILES" ] && break
      cp -r "$folder" "$subset/DCIM/"
      taken=$(find "$subset" -type f | wc -l)
    done
    subset_files=$(find "$subset" -type f | wc -l)
    scale=$(awk -v a="$files" -v b="$subset_files" 'BEGIN { print a / b }')
    echo "  exiftool's sort on a subset of $subset_files files, scaled by $scale"
  fi
  et_out=$scratch/out-exiftool
  rounds exiftool-sort "$SLOW_RUNS" 0 \
    exiftool-sort "rm -rf $(q "$et_out") && $flush" \
    "exiftool -o $(q "$et_out")/ '-Directory<DateTimeOriginal' -d $(q "$et_out")/%Y_%m_%d -r $(q "$subset") >/dev/null 2>&1 && sync -f $(q "$et_out")"

  # --- one day against twenty days ---------------------------------------------
  echo "== $DAY_PHOTOS photos on one day against twenty days"
  "$make_card" "$scratch/one-day" "$DAY_PHOTOS" --one-day --other-share 0 --quiet
  "$make_card" "$scratch/twenty-days" "$DAY_PHOTOS" --days 20 --other-share 0 --quiet
  day_out=$(q "$scratch/out-days")
  rounds days "$RUNS" 1 \
    one-day "rm -rf $day_out && $flush" "$B --exif --dest $day_out $(q "$scratch/one-day") >/dev/null" \
    twenty-days "rm -rf $day_out && $flush" "$B --exif --dest $day_out $(q "$scratch/twenty-days") >/dev/null"

  # --- a card imported again ---------------------------------------------------
  # The one-day card into a destination that holds its copies already: with
  # --skip-imported nothing is copied, so the destination stays as it is from
  # round to round; against copying the card again into an empty one.
  echo "== $DAY_PHOTOS photos imported again"
  again_out=$(q "$scratch/out-again")
  "$batch" --exif --dest "$scratch/out-again" "$scratch/one-day" >/dev/null
  rounds again "$RUNS" 1 \
    skip-imported "$flush" "$B --exif --skip-imported --dest $again_out $(q "$scratch/one-day") >/dev/null" \
    copy-again "rm -rf $day_out && $flush" "$B --exif --dest $day_out $(q "$scratch/one-day") >/dev/null"

  # --- peak memory -------------------------------------------------------------
  peak_kb=""
  big_seconds=""
  if [ "$BIG_N" -gt 0 ]; then
    echo "== peak memory of the dry run over $BIG_N files"
    # The big card is laid out once, measured and removed again at once.
    rm -rf "$scratch/out-copy" "$scratch/out-copy-unverified" "$scratch/out-cp" \
      "$scratch/out-move" "$scratch/card-copy" "$scratch/out-again"
    big=$scratch/big
    "$make_card" "$big" "$BIG_N" --quiet
    /usr/bin/time -v "$batch" --exif --dry-run --dest "$scratch/out-big" "$big" \
      >/dev/null 2>"$results/peak-memory.txt"
    peak_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$results/peak-memory.txt")
    big_seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
                  for (i = 1; i <= n; ++i) s = s * 60 + p[i]; print s }' "$results/peak-memory.txt")
    rm -rf "$big"
  fi
}

# The warm part's table.
warm_table() {
  ours_dry=$(median dating ours)
  ours_copy=$(median copy ours-copy)
  ours_move=$(median copy ours-move)
  et_sort=$(awk -v t="$(median exiftool-sort exiftool-sort)" -v s="$scale" 'BEGIN { print t * s }')

  echo
  echo "== results: $N files ($photos photos), medians in seconds, warm cache"
  echo "(the RAW+JPEG card: $raw_photos photos: JPEG, RAW and HEIF)"
  echo "load at end: $(uptime | sed 's/.*load average/load average/')"
  echo
  table_head
  line "dating vs jhead" "$ours_dry" "$(median dating jhead)" "<=" 1.0
  line "dating vs exiv2" "$ours_dry" "$(median dating exiv2)" "-" 0
  line "dating vs exiftool -fast2" "$ours_dry" "$(median dating-exiftool exiftool-fast2)" "<=" 0.01
  line "RAW+JPEG card: dating vs exiv2" "$(median raw-dating ours)" "$(median raw-dating exiv2)" "<=" 0.5
  line "RAW+JPEG card: dating vs exiftool -fast2" "$(median raw-dating ours)" "$(median raw-dating-exiftool exiftool-fast2)" "-" 0
  line "copy (read back) vs cp -r + sync -f" "$ours_copy" "$(median copy cp-sync)" "<=" 1.5
  line "copy --no-verify vs cp -r + sync -f" "$(median copy ours-unverified)" "$(median copy cp-sync)" "<=" 1.3
  line "copy (read back) vs copy --no-verify" "$ours_copy" "$(median copy ours-unverified)" "-" 0
  if [ "$scale" = 1 ]; then
    line "copy vs exiftool date folders" "$ours_copy" "$et_sort" "<=" 0.01
  else
    line "copy vs exiftool date folders (scaled)" "$ours_copy" "$et_sort" "<=" 0.01
  fi
  line "move vs our copy" "$ours_move" "$ours_copy" "<=" 0.1
  line "copy $DAY_PHOTOS photos: 1 day vs 20 days" "$(median days one-day)" "$(median days twenty-days)" "<=" 1.1
  line "import $DAY_PHOTOS again: --skip-imported vs copy" "$(median again skip-imported)" "$(median again copy-again)" "<=" 0.5
  if [ -n "$peak_kb" ]; then
    awk -v kb="$peak_kb" -v n="$BIG_N" -v s="$big_seconds" 'BEGIN {
      mb = kb / 1024
      printf "\npeak memory, dry run over %d files: %.1f MB (target < 80 MB: %s); that run took %.2f s\n",
        n, mb, (mb < 80) ? "met" : "NOT met", s
    }'
  fi
  if [ "$scale" != 1 ]; then
    echo "(exiftool's date-folder copy took $(median exiftool-sort exiftool-sort) s for $subset_files files, scaled by $scale)"
  fi
  if [ -n "$BEFORE_BATCH" ]; then
    printf 'before (BEFORE_BATCH), same rounds: dating %.3f s (%s), ours %s; copy %.3f s (%s), ours %s, cp -r + sync -f %s\n' \
      "$(median dating before)" "$(spread dating before)" "$(spread dating ours)" \
      "$(median copy before-copy)" "$(spread copy before-copy)" "$(spread copy ours-copy)" "$(spread copy cp-sync)"
  fi
  echo "copy spread over the rounds (fastest-slowest, s): read back $(spread copy ours-copy), --no-verify $(spread copy ours-unverified), cp -r + sync -f $(spread copy cp-sync)"
}

# --- cold cache --------------------------------------------------------------
drop_caches="sync && echo 3 > /proc/sys/vm/drop_caches"

# Why the cold part cannot run here; empty when it can.
cold_unavailable() {
  if [ "$(id -u)" != 0 ]; then
    echo "dropping the page cache and mounting drives need root"
  elif ! [ -w /proc/sys/vm/drop_caches ]; then
    echo "/proc/sys/vm/drop_caches cannot be written here"
  fi
}

# start_drive KIND SIZE_MB [--direct-io]: mounts a fresh drive of KIND
# through kuronel-bench-drive and sets `drive` to its mount point,
# `drive_device` to its loop device's MAJ:MIN and `drive_drivers` to the
# processes of its FUSE driver; leaves `drive` empty and says why when the
# drive cannot be had. The drive stays up while this script holds its
# standard input open (stop_drives closes it).
drive_count=0
start_drive() {
  local kind=$1 size=$2 option=${3:-} fd pid
  drive_count=$(( drive_count + 1 ))
  local fifo=$scratch/drive-$drive_count.in said=$scratch/drive-$drive_count.out
  mkfifo "$fifo"
  # The helper must not hold another drive's input open.
  (for fd in "${drive_fds[@]}"; do exec {fd}>&-; done
   exec "$bench_drive" ${option:+"$option"} "$kind" "$size") <"$fifo" >"$said" 2>&1 &
  pid=$!
  exec {fd}>"$fifo"
  drive_pids+=("$pid")
  drive_fds+=("$fd")
  while kill -0 "$pid" 2>/dev/null && ! grep -qx up "$said"; do sleep 0.1; done
  drive=$(head -1 "$said")
  drive_device=$(awk '$1 == "loop" { print $3 }' "$said")
  drive_drivers=$(awk '$1 == "driver" { print $2 }' "$said")
  if [[ $drive != /* ]] || ! [ -d "$drive" ] || ! grep -qx up "$said"; then
    echo "  no $kind drive: ${drive:-kuronel-bench-drive ended without a word}"
    drive=""
  fi
}

# A private ext4 image of SIZE_MB on a loop device with direct I/O, at
# `image` (empty, with a line saying why, when it cannot be had).
start_image() {
  start_drive ext4 "$1" --direct-io
  image=$drive
}

# cold_card KIND SIZE_MB FILES: a drive of KIND holding a card of FILES files
# at `cold_card`, checked with a dry run; `cold_photos` its photos. Empty
# `cold_card` when the drive cannot be had.
cold_card() {
  cold_card=""
  start_drive "$1" "$2"
  [ -n "$drive" ] || return 0
  "$make_card" "$drive/card" "$3" --quiet
  cold_photos=$(find "$drive/card" -type f -iname '*.jpg' | wc -l)
  check_dry_run "$drive/card" "$cold_photos"
  cold_card=$drive/card
}

# The dating of one cold card: ours, jhead one process after another, and
# eight jhead processes that share the photos.
cold_dating() {
  local group=$1 card=$2 photos=$3
  local c per_process
  c=$(q "$card")
  per_process=$(( (photos + 7) / 8 ))
  local before=()
  [ -n "$BEFORE_BATCH" ] && before=(before "$drop_caches"
    "$(q "$BEFORE_BATCH") --exif --dry-run --dest $OUT $c >/dev/null")
  rounds "$group" "$COLD_RUNS" 0 \
    ours "$drop_caches" "$B --exif --dry-run --dest $OUT $c >/dev/null" \
    jhead "$drop_caches" "find $c -iname '*.jpg' -exec jhead {} + >/dev/null" \
    jhead-8 "$drop_caches" \
    "find $c -iname '*.jpg' -print0 | xargs -0 -P 8 -n $per_process jhead >/dev/null" \
    "${before[@]}"
}

cold_part() {
  local why
  why=$(cold_unavailable)
  if [ -n "$why" ]; then
    cold_skipped="cold cache: skipped: $why"
    echo "== $cold_skipped"
    return 0
  fi
  echo "== cold cache: a card of $COLD_EXFAT_N files on exFAT (exfat-fuse)"
  cold_card exFAT 512 "$COLD_EXFAT_N"
  exfat_card=$cold_card
  exfat_photos=${cold_photos:-0}
  if [ -n "$exfat_card" ]; then
    if has_part cold-dating; then
      cold_dating cold-exfat "$exfat_card" "$exfat_photos"
    fi
    if has_part exfat-copy; then exfat_copy; fi
  fi
  stop_drives
  has_part cold-dating || return 0

  echo "== cold cache: a card of $N files on ext4"
  cold_card ext4 $(( N * 30 / 1000 + 256 )) "$N"
  ext4_card=$cold_card
  ext4_photos=${cold_photos:-0}
  [ -n "$ext4_card" ] && cold_dating cold-ext4 "$ext4_card" "$ext4_photos"
  stop_drives
}

# copy_rounds GROUP ROUNDS WARMUP PREPARE OUT CARD "OPTIONS" [PREFIX]: our
# copy read back, ours with --no-verify and cp -r + sync -f of CARD into
# OUT, which is removed before each run, then PREPARE run; PREFIX goes
# before each timed command.
copy_rounds() {
  local group=$1 count=$2 warmup=$3 prepare=$4 out card options=$7
  local prefix=${8:-} before=()
  out=$(q "$5")
  card=$(q "$6")
  local clean="rm -rf $out && $prepare"
  [ -n "$BEFORE_BATCH" ] && before=(before-copy "$clean"
    "$prefix$(q "$BEFORE_BATCH") $options --dest $out $card >/dev/null")
  rounds "$group" "$count" "$warmup" \
    ours-copy "$clean" "$prefix$B $options --dest $out $card >/dev/null" \
    ours-unverified "$clean" \
    "$prefix$B $options --no-verify --dest $out $card >/dev/null" \
    cp-sync "$clean" "${prefix}cp -r $card $out && sync -f $out" \
    "${before[@]}"
  rm -rf "$5"
}

# The exFAT card of the cold part, copied from a dropped cache into a
# private ext4 image, as from a card reader to a disk of its own.
exfat_copy() {
  start_image $(( COLD_EXFAT_N * 14 * 3 / 1024 + 256 ))
  if [ -z "$image" ]; then
    exfat_copy_skipped="exFAT card to ext4: skipped: no private ext4 image"
    return 0
  fi
  copy_rounds cold-copy "$COLD_RUNS" 0 "sync -f $(q "$image") && $drop_caches" \
    "$image/out" "$exfat_card" --exif
}

# Why a part that mounts drives cannot run; empty when it can.
root_unavailable() {
  [ "$(id -u)" = 0 ] || echo "mounting drives needs root"
}

# The image part: a card of small files, warm, copied within one private
# ext4 image (a loop device with direct I/O), so that the copies and their
# flushes go to a drive of their own.
image_part() {
  local why
  why=$(root_unavailable)
  if [ -n "$why" ]; then
    image_skipped="private ext4 image: skipped: $why"
    echo "== $image_skipped"
    return 0
  fi
  echo "== a card of $IMAGE_N files in a private ext4 image (loop, direct I/O), warm"
  start_image $(( IMAGE_N * 14 * 3 / 1024 + 256 ))
  if [ -z "$image" ]; then
    image_skipped="private ext4 image: skipped: no image"
    stop_drives
    return 0
  fi
  "$make_card" "$image/card" "$IMAGE_N" --quiet
  image_photos=$(find "$image/card" -type f -iname '*.jpg' | wc -l)
  check_dry_run "$image/card" "$image_photos"
  copy_rounds image-copy "$RUNS" 1 "sync -f $(q "$image")" "$image/out" \
    "$image/card" --exif
  stop_drives
}

# remove_stale_readers ROOT: the empty reader cgroups of earlier runs that
# were killed before their exit trap could run.
remove_stale_readers() {
  local stale
  for stale in "$1"/kuronel-sd-reader.*; do
    [ -d "$stale" ] || continue
    kill -0 "${stale##*.}" 2>/dev/null || rmdir "$stale" 2>/dev/null || true
  done
}

# make_reader DEVICE BYTES_PER_SECOND PID...: a cgroup whose reads of DEVICE
# (MAJ:MIN) go no faster than BYTES_PER_SECOND, with the processes PID in
# it; sets reader_cgroup and reader_procs, or reader_unavailable to why not.
make_reader() {
  local device=$1 rate=$2 root pid
  shift 2
  reader_unavailable=""
  while read -r root; do
    grep -qw io "$root/cgroup.controllers" 2>/dev/null || continue
    remove_stale_readers "$root"
    if ! grep -qw io "$root/cgroup.subtree_control"; then
      echo +io >"$root/cgroup.subtree_control" 2>/dev/null || continue
      reader_enabled_io=$root
    fi
    reader_cgroup=$root/kuronel-sd-reader.$$
    if mkdir "$reader_cgroup" 2>/dev/null &&
        echo "$device rbps=$rate" >"$reader_cgroup/io.max" 2>/dev/null; then
      break
    fi
    remove_reader
  done < <(awk '$3 == "cgroup2" { print $2 }' /proc/mounts)
  if [ -z "$reader_cgroup" ]; then
    root=$(awk '$3 == "cgroup" && $4 ~ /(^|,)blkio(,|$)/ { print $2; exit }' /proc/mounts)
    if [ -n "$root" ]; then
      remove_stale_readers "$root"
      reader_cgroup=$root/kuronel-sd-reader.$$
      if ! mkdir "$reader_cgroup" 2>/dev/null ||
          ! echo "$device $rate" >"$reader_cgroup/blkio.throttle.read_bps_device" 2>/dev/null; then
        remove_reader
      fi
    fi
  fi
  if [ -z "$reader_cgroup" ]; then
    reader_unavailable="no cgroup io (v2) or blkio (v1) controller to limit reads with"
    return 0
  fi
  reader_procs=$reader_cgroup/cgroup.procs
  for pid in "$@"; do echo "$pid" >"$reader_procs"; done
  if [ $# = 0 ]; then
    reader_unavailable="no FUSE driver holds the card's device"
    remove_reader
  fi
}

# Takes the reader's cgroup down: what is left in it (normally nothing: the
# FUSE driver ends with its drive) goes back to the cgroup above.
remove_reader() {
  [ -n "$reader_cgroup" ] || return 0
  local pid
  for _ in $(seq 1 50); do
    [ -d "$reader_cgroup" ] || break
    if [ -f "$reader_cgroup/cgroup.procs" ]; then
      while read -r pid; do
        echo "$pid" >"${reader_cgroup%/*}/cgroup.procs" 2>/dev/null || true
      done <"$reader_cgroup/cgroup.procs"
    fi
    rmdir "$reader_cgroup" 2>/dev/null && break
    sleep 0.1
  done
  if [ -n "${reader_enabled_io:-}" ]; then
    echo -io >"$reader_enabled_io/cgroup.subtree_control" 2>/dev/null || true
    reader_enabled_io=""
  fi
  reader_cgroup=""
  reader_procs=""
}

# The real and sd parts: a real-sized card on exFAT (exfat-fuse) copied
# from a dropped cache into a private ext4 image, straight from the drive
# (real) and read no faster than an SD card (sd).
real_part() {
  local why
  why=$(cold_unavailable)
  if [ -n "$why" ]; then
    real_skipped="real-sized card: skipped: $why"
    echo "== $real_skipped"
    return 0
  fi
  echo "== a real-sized card of $REAL_CARD_MB MB on exFAT (exfat-fuse)"
  start_drive exFAT $(( REAL_CARD_MB * 11 / 10 + 256 )) --direct-io
  if [ -z "$drive" ]; then
    real_skipped="real-sized card: skipped: no exFAT drive"
    stop_drives
    return 0
  fi
  real_card=$drive/card
  local card_device=$drive_device card_drivers=$drive_drivers pairs=()
  [ "$REAL_PAIRS" = 1 ] && pairs=(--raw-pairs)
  "$make_card" "$real_card" 100000 --real-sized "${pairs[@]}" --days 3 \
    --card-size "${REAL_CARD_MB}M" --movie-size "${REAL_MOVIE_MB}M" --quiet
  real_files=$(find "$real_card" -type f | wc -l)
  real_mb=$(du -s --apparent-size --block-size=1M "$real_card" | awk '{ print $1 }')
  check_dry_run "$real_card" "$real_files" --movies --raw-heif-mp4
  start_image $(( REAL_CARD_MB * 12 / 10 + 512 ))
  if [ -z "$image" ]; then
    real_skipped="real-sized card: skipped: no private ext4 image"
    stop_drives
    return 0
  fi
  local prepare options
  prepare="sync -f $(q "$image") && $drop_caches"
  options="--exif --movies --raw-heif-mp4"
  if has_part real; then
    copy_rounds real-copy "$REAL_RUNS" 0 "$prepare" "$image/out" "$real_card" "$options"
  fi
  if has_part sd; then
    # shellcheck disable=SC2086  # one argument a process
    make_reader "$card_device" $(( SD_READ_MBPS * 1000000 )) $card_drivers
    if [ -n "$reader_unavailable" ]; then
      sd_skipped="SD-speed reader: skipped: $reader_unavailable"
      echo "== $sd_skipped"
    else
      echo "== the same card through a reader of $SD_READ_MBPS MB/s ($reader_cgroup)"
      copy_rounds sd-copy "$REAL_RUNS" 0 "$prepare" "$image/out" "$real_card" \
        "$options" "echo 0 >$(q "$reader_procs") && "
    fi
  fi
  stop_drives
  remove_reader
}

# spread GROUP LABEL: the fastest and the slowest round, "min-max".
spread() {
  awk -v label="$2" '
    /"command":/ { line = $0; sub(/^[^:]*: *"/, "", line); sub(/", *$/, "", line); name = line }
    /"median":/ && name == label { value = $2; sub(/,$/, "", value); print value }
  ' "$results/$1"-*.json | sort -g | awk '
    NR == 1 { low = $1 } { high = $1 }
    END { if (NR) printf "%.3f-%.3f", low, high; else print "nan" }'
}

# before_line GROUP LABEL: ", before MEDIAN (MIN-MAX)" when BEFORE_BATCH ran.
before_line() {
  [ -n "$BEFORE_BATCH" ] || return 0
  printf ', before %s (median %.3f)' "$(spread "$1" "$2")" "$(median "$1" "$2")"
}

# ran GROUP: true when GROUP's rounds were timed.
ran() { [ -e "$results/$1-1.json" ]; }

# copy_lines GROUP WHAT TARGET: the lines of one copy_rounds group, our
# copy read back against cp -r + sync -f with TARGET first.
copy_lines() {
  local ours unverified cp
  ours=$(median "$1" ours-copy)
  unverified=$(median "$1" ours-unverified)
  cp=$(median "$1" cp-sync)
  line "$2: copy (read back) vs cp -r + sync -f" "$ours" "$cp" "<=" "$3"
  line "$2: copy --no-verify vs cp -r + sync -f" "$unverified" "$cp" "-" 0
  line "$2: copy (read back) vs copy --no-verify" "$ours" "$unverified" "-" 0
}

# copy_spread GROUP WHAT: the fastest and slowest round of each command.
copy_spread() {
  echo "  $2: ours $(spread "$1" ours-copy), --no-verify $(spread "$1" ours-unverified), cp -r + sync -f $(spread "$1" cp-sync)$(before_line "$1" before-copy)"
}

# The cold part's table, with each command's spread over the rounds.
cold_table() {
  echo
  if [ -n "${cold_skipped:-}" ]; then
    echo "== $cold_skipped"
    return 0
  fi
  echo "== results: cold cache (caches dropped before every run), medians of $COLD_RUNS rounds in seconds"
  echo "load at end: $(uptime | sed 's/.*load average/load average/')"
  echo
  table_head
  local ours
  if ran cold-exfat; then
    ours=$(median cold-exfat ours)
    line "exFAT, $exfat_photos photos: dating vs jhead 8-way" "$ours" "$(median cold-exfat jhead-8)" "<=" 1.0
    line "exFAT, $exfat_photos photos: dating vs jhead" "$ours" "$(median cold-exfat jhead)" "<=" 0.5
  fi
  if ran cold-copy; then
    line "exFAT to ext4 image: copy (read back) vs cp -r + sync -f" "$(median cold-copy ours-copy)" "$(median cold-copy cp-sync)" "<=" 1.0
    line "exFAT to ext4 image: copy --no-verify vs cp -r + sync -f" "$(median cold-copy ours-unverified)" "$(median cold-copy cp-sync)" "<=" 1.1
    line "exFAT to ext4 image: copy (read back) vs --no-verify" "$(median cold-copy ours-copy)" "$(median cold-copy ours-unverified)" "<=" 1.15
  fi
  if ran cold-ext4; then
    ours=$(median cold-ext4 ours)
    line "ext4, $ext4_photos photos: dating vs jhead" "$ours" "$(median cold-ext4 jhead)" "<=" 0.5
    line "ext4, $ext4_photos photos: dating vs jhead 8-way" "$ours" "$(median cold-ext4 jhead-8)" "-" 0
  fi
  [ -n "${exfat_copy_skipped:-}" ] && echo "== $exfat_copy_skipped"
  echo
  echo "spread over the rounds (fastest-slowest, s):"
  if ran cold-exfat; then
    echo "  exFAT dating: ours $(spread cold-exfat ours), jhead $(spread cold-exfat jhead), jhead 8-way $(spread cold-exfat jhead-8)$(before_line cold-exfat before)"
  fi
  if ran cold-copy; then copy_spread cold-copy "exFAT to ext4 image copy"; fi
  if ran cold-ext4; then
    echo "  ext4 dating: ours $(spread cold-ext4 ours), jhead $(spread cold-ext4 jhead), jhead 8-way $(spread cold-ext4 jhead-8)$(before_line cold-ext4 before)"
  fi
  return 0
}

# The image part's table.
image_table() {
  echo
  if ! ran image-copy; then
    echo "== ${image_skipped:-private ext4 image: skipped}"
    return 0
  fi
  echo "== results: $IMAGE_N files ($image_photos photos) in a private ext4 image (loop, direct I/O), warm, medians of $RUNS rounds in seconds"
  echo "load at end: $(uptime | sed 's/.*load average/load average/')"
  echo
  table_head
  copy_lines image-copy "ext4 image, warm" 3.0
  echo
  echo "spread over the rounds (fastest-slowest, s):"
  copy_spread image-copy "ext4 image, warm"
}

# The real and sd parts' table.
real_table() {
  echo
  if [ -n "${real_skipped:-}" ]; then
    echo "== $real_skipped"
    return 0
  fi
  echo "== results: a real-sized card on exFAT ($real_files files, $real_mb MB), cold, into a private ext4 image, medians of $REAL_RUNS rounds in seconds"
  echo "load at end: $(uptime | sed 's/.*load average/load average/')"
  echo
  table_head
  if ran real-copy; then copy_lines real-copy "real-sized card" 1.3; fi
  if ran sd-copy; then copy_lines sd-copy "through a $SD_READ_MBPS MB/s reader" 1.05; fi
  [ -n "${sd_skipped:-}" ] && echo "== $sd_skipped"
  echo
  echo "spread over the rounds (fastest-slowest, s):"
  if ran real-copy; then copy_spread real-copy "real-sized card"; fi
  if ran sd-copy; then
    copy_spread sd-copy "through the reader"
    # The reader's limit shows in cp's time: it reads the card once.
    awk -v mb="$real_mb" -v s="$(median sd-copy cp-sync)" 'BEGIN {
      printf "  cp -r read the card through the reader at %.0f MB/s (10^6 bytes)\n", mb * 1048576 / s / 1e6 }'
  fi
  return 0
}

# --- the parts ---------------------------------------------------------------
if has_part warm; then warm_part; fi
if has_part image; then image_part; fi
if has_part cold-dating || has_part exfat-copy; then cold_part; fi
if has_part real || has_part sd; then real_part; fi
{
  if has_part warm; then warm_table; fi
  if has_part image; then image_table; fi
  if has_part cold-dating || has_part exfat-copy; then cold_table; fi
  if has_part real || has_part sd; then real_table; fi
} | tee "$results/table.txt"
