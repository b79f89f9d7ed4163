// kuronel-make-card: lays out a synthetic camera card for benchmarks.

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/card_maker.h"

namespace {

constexpr char kUsage[] =
    "usage: kuronel-make-card DIR N [options]\n"
    "\n"
    "Lays out a synthetic camera card of N files under DIR (made with its\n"
    "parents; DIR/DCIM must not exist yet):\n"
    "  DIR/DCIM/100CANON/IMG_0001.JPG ... DIR/DCIM/101NIKON/ ...\n"
    "Photos are copies of real camera photos whose Exif DateTimeOriginal is\n"
    "rewritten to the file's shooting time; shooting times rise with the file\n"
    "number, from 07:00 over fourteen hours a day. About 5% of the files are\n"
    "movies (.MOV, .AVI: 4 KB dummies), .THM thumbnails (photo copies) and\n"
    ".txt files. Each file's modification time is its shooting time plus 0 to\n"
    "2 seconds.\n"
    "\n"
    "options:\n"
    "  --days D         spread the shooting times over D days (default 60)\n"
    "  --one-day        all files shot on the first day\n"
    "  --first-day Y-M-D  the first shooting day (default 2024-4-1)\n"
    "  --per-folder P   files per DCIM folder (default 500; at most 900\n"
    "                   folders)\n"
    "  --other-share F  share of non-photo files, 0 to 1 (default 0.05)\n"
    "  --samples DIR    JPEG photos to copy (default: the test data's\n"
    "                   camera-jpegs); only those with a DateTimeOriginal\n"
    "  --max-sample-size BYTES  skip larger samples (default 65536)\n"
    "  --raw-pairs      a card of today: each photo a RAW+JPEG pair under\n"
    "                   one name (.CR3, .NEF, .ARW, .DNG, .RAF, .ORF, .RW2,\n"
    "                   .CR2, .PEF in turn, with the JPEG's Exif date), one\n"
    "                   photo in eight a lone .HEIC, the movies .MP4\n"
    "  --real-sized     files of the sizes today's cameras write, for timing\n"
    "                   copies: JPEGs grown to 6-12 MB by application\n"
    "                   segments before the image data (still valid photos\n"
    "                   with their Exif dates), RAWs of 20-30 MB, HEIF\n"
    "                   photos half their JPEG's size, and one 1 GB movie\n"
    "                   halfway through the card (an ISO media file: ftyp,\n"
    "                   mdat, moov); no thumbnails or text files\n"
    "  --jpeg-size MIN-MAX, --raw-size MIN-MAX  the size ranges of the\n"
    "                   real-sized JPEGs and RAWs (6M-12M, 20M-30M)\n"
    "  --movie-size SIZE   each real-sized movie's size (default 1G)\n"
    "  --movie-count M  real-sized movies, spread over the card (default 1)\n"
    "  --card-size SIZE with --real-sized, end the card once its files\n"
    "                   hold SIZE bytes; N is then the most files it has\n"
    "  --quiet          print nothing but errors\n"
    "\n"
    "SIZE: bytes, or with a suffix K, M or G (powers of 1024).\n"
    "\n"
    "Prints a summary: files of each kind, folders, bytes, samples used.\n";

bool ParseSize(const char* text, size_t& value) {
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0') return false;
  value = static_cast<size_t>(parsed);
  return true;
}

// "12", "64K", "6M", "1G": bytes, the suffixes powers of 1024.
bool ParseBytes(std::string_view text, std::uint64_t& value) {
  std::uint64_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K':
        unit = 1ull << 10;
        break;
      case 'M':
        unit = 1ull << 20;
        break;
      case 'G':
        unit = 1ull << 30;
        break;
      default:
        break;
    }
  }
  if (unit != 1) text.remove_suffix(1);
  const std::string digits(text);
  size_t number = 0;
  if (!ParseSize(digits.c_str(), number)) return false;
  value = std::uint64_t{number} * unit;
  return true;
}

// "MIN-MAX", each a size as ParseBytes reads it, MIN at most MAX.
bool ParseRange(std::string_view text, kuronel::bench::SizeRange& range) {
  const size_t dash = text.find('-');
  return dash != std::string_view::npos &&
         ParseBytes(text.substr(0, dash), range.min) &&
         ParseBytes(text.substr(dash + 1), range.max) && range.min <= range.max;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "kuronel-make-card: %s\n\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kuronel::bench::CardOptions options;
  bool quiet = false;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    size_t number = 0;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--one-day") {
      options.one_day = true;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--raw-pairs") {
      options.raw_pairs = true;
    } else if (arg == "--real-sized") {
      options.real_sized = true;
    } else if (arg == "--jpeg-size" && has_value) {
      if (!ParseRange(argv[++i], options.jpeg_bytes))
        return Fail("bad --jpeg-size " + std::string(argv[i]));
    } else if (arg == "--raw-size" && has_value) {
      if (!ParseRange(argv[++i], options.raw_bytes))
        return Fail("bad --raw-size " + std::string(argv[i]));
    } else if (arg == "--movie-size" && has_value) {
      if (!ParseBytes(argv[++i], options.movie_bytes))
        return Fail("bad --movie-size " + std::string(argv[i]));
    } else if (arg == "--card-size" && has_value) {
      if (!ParseBytes(argv[++i], options.card_bytes))
        return Fail("bad --card-size " + std::string(argv[i]));
    } else if (arg == "--movie-count" && has_value &&
               ParseSize(argv[i + 1], number)) {
      options.movie_count = number;
      ++i;
    } else if (arg == "--days" && has_value && ParseSize(argv[i + 1], number) &&
               number > 0) {
      options.days = static_cast<int>(number);
      ++i;
    } else if (arg == "--per-folder" && has_value &&
               ParseSize(argv[i + 1], number) && number > 0) {
      options.files_per_folder = number;
      ++i;
    } else if (arg == "--max-sample-size" && has_value &&
               ParseSize(argv[i + 1], number)) {
      options.max_sample_size = number;
      ++i;
    } else if (arg == "--other-share" && has_value) {
      options.other_share = std::atof(argv[++i]);
    } else if (arg == "--samples" && has_value) {
      options.samples_folder = argv[++i];
    } else if (arg == "--first-day" && has_value) {
      if (std::sscanf(argv[++i], "%d-%d-%d", &options.first_year,
                      &options.first_month, &options.first_day) != 3)
        return Fail("bad --first-day " + std::string(argv[i]));
    } else if (!arg.empty() && arg[0] != '-' && positional == 0) {
      options.root = arg;
      ++positional;
    } else if (positional == 1 && ParseSize(arg.c_str(), number)) {
      options.file_count = number;
      ++positional;
    } else {
      return Fail("unexpected argument " + arg);
    }
  }
  if (positional != 2) return Fail("DIR and N are needed");

  kuronel::bench::CardSummary summary;
  const kuronel::Status status = kuronel::bench::MakeCard(options, summary);
  if (!status.ok()) {
    std::fprintf(stderr, "kuronel-make-card: %s\n", status.message().c_str());
    return 1;
  }
  if (!quiet) {
    std::printf(
        "%s: %zu photos, %zu RAW, %zu HEIF, %zu movies, %zu thumbnails, %zu "
        "text files in %zu folders, %" PRIu64 " bytes; %zu samples\n",
        options.root.c_str(), summary.photos, summary.raws, summary.heifs,
        summary.movies, summary.thumbnails, summary.texts, summary.folders,
        summary.bytes, summary.samples.size());
  }
  return 0;
}
