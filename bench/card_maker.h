#ifndef KURONEL_BENCH_CARD_MAKER_H_
#define KURONEL_BENCH_CARD_MAKER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/real_sized.h"
#include "platform/status.h"

namespace kuronel::bench {

// What a synthetic memory card holds. The card is laid out as a camera does:
//   ROOT/DCIM/100CANON/IMG_0001.JPG ... (files_per_folder files a folder)
//            /101NIKON/...
// Photos are copies of real camera photos (the samples) whose Exif
// DateTimeOriginal is rewritten in place to the file's shooting time; the
// shooting times rise with the file number and spread over `days` days
// (or lie within one day). About other_share of the files are not photos,
// taking turns: a movie .MOV, a movie .AVI (small dummy files), a .THM
// thumbnail (a sample photo copy, as cameras write them beside movies) and a
// .txt file. Every file's modification time is its shooting time plus 0 to 2
// seconds, so that odd and even seconds both occur.
struct CardOptions {
  std::string root;  // made with its parents; DCIM must not exist
  size_t file_count = 0;
  int days = 60;  // 1 with one_day
  bool one_day = false;
  int first_year = 2024;  // the first shooting day, local time
  int first_month = 4;
  int first_day = 1;
  size_t files_per_folder = 500;
  double other_share = 0.05;           // movies, thumbnails and text files
  std::string samples_folder;          // JPEGs to copy; empty: the test data
  size_t max_sample_size = 64 * 1024;  // larger samples are not used
  // A card of today: each photo is a RAW+JPEG pair (IMG_0001.JPG beside
  // IMG_0001.CR3, the RAW kinds taking turns), one photo in eight a lone
  // HEIF photo (.HEIC) instead, and the movies .MP4. The RAW and HEIF files
  // carry the same Exif date as their JPEG.
  bool raw_pairs = false;
  size_t raw_image_bytes = 16 * 1024;  // image data behind a RAW's header
  // Files of the sizes a camera of today writes, for timing copies: each
  // JPEG grown to a size within jpeg_bytes, each RAW within raw_bytes, a HEIF
  // photo to half its JPEG's size. The only other files are movie_count movies
  // of movie_bytes each, spread over the card (no thumbnails, no text files:
  // every file is one a copy takes).
  bool real_sized = false;
  SizeRange jpeg_bytes{6u << 20, 12u << 20};
  SizeRange raw_bytes{20u << 20, 30u << 20};
  std::uint64_t movie_bytes = 1u << 30;
  size_t movie_count = 1;
  // With real_sized: when not 0, the card ends once its files hold this
  // many bytes, and file_count is only the most files it may have.
  std::uint64_t card_bytes = 0;
};

struct CardSummary {
  size_t photos = 0;  // JPEGs
  size_t raws = 0;
  size_t heifs = 0;
  size_t movies = 0;
  size_t thumbnails = 0;
  size_t texts = 0;
  size_t folders = 0;
  std::uint64_t bytes = 0;
  std::vector<std::string> samples;  // the sample files used
};

// The camera photos of the test data (testdata/camera-jpegs/).
std::string DefaultSamplesFolder();

// Finds the 19 bytes of the DateTimeOriginal value (tag 0x9003 in the Exif
// directory, or in the first directory) of a JPEG file's bytes by walking the
// JPEG segments and the TIFF directories. Returns the offset, or npos when the
// file has no such value.
size_t FindDateTimeOriginal(const std::string& jpeg);

// The number of files of a real-sized card: options.file_count, or fewer
// when options.card_bytes is reached first.
size_t RealSizedFileCount(const CardOptions& options);

// True when file `index` of a real-sized card of `count` files is a movie:
// the movies lie evenly spread, the first one halfway through its share.
bool IsMovieSlot(size_t index, size_t count, size_t movies);

// Lays out the card; refuses an existing DCIM folder and never overwrites a
// file.
Status MakeCard(const CardOptions& options, CardSummary& summary);

}  // namespace kuronel::bench

#endif  // KURONEL_BENCH_CARD_MAKER_H_
