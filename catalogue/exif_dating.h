#ifndef KURONEL_CATALOGUE_EXIF_DATING_H_
#define KURONEL_CATALOGUE_EXIF_DATING_H_

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/folder_listings.h"
#include "catalogue/timestamp_text.h"
#include "platform/system_calls.h"

namespace kuronel {

// The date of one file and whether it could be read for it.
struct FileDate {
  DateKey key;
  int read_error = 0;  // errno when the file could not be read; ENOENT: gone
};

// Dates every file of `listings` (folder k's path, ending in "/", is
// folders[k]) by its Exif DateTimeOriginal where the file has an Exif block
// with a usable one, else by its file time; a file that could not be read
// gets its file time and the errno. The dates come in listing order. Every
// file is read once, through `calls`; `raw_and_heif` lets the readers take
// RAW, CR3, HEIF and RAF photos as well as JPEGs.
//
// Many files are read at once, each by a reader of its own, so that a card
// always has requests waiting; the outcome is that of one pass over the
// files in listing order: `show_folder(k)` is called on the calling thread
// for every folder in order, as the files done pass the folder's first file.
// Every reader has ended when this returns, also when it throws (an
// exception of a reader or of `show_folder` reaches the caller).
std::vector<FileDate> DateFilesByExif(
    const FolderListings& listings, const std::vector<std::string>& folders,
    SystemCalls& calls, bool raw_and_heif,
    const std::function<void(size_t)>& show_folder);

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_EXIF_DATING_H_
