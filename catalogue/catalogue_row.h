#ifndef KURONEL_CATALOGUE_CATALOGUE_ROW_H_
#define KURONEL_CATALOGUE_CATALOGUE_ROW_H_

#include <string>
#include <vector>

#include "catalogue/timestamp_text.h"
#include "platform/file_identity.h"

namespace kuronel {

// One file of the main list. All four texts are written once, when the row is
// added. Folder ends in "/" and Folder + FileName is the file's full path, kept
// as the exact bytes the file system gave (not necessarily UTF-8).
struct CatalogueRow {
  std::string DisplayKind;  // 2004_05_12
  std::string FileName;     // IMG_0001.JPG
  std::string Folder;       // /media/card/DCIM/100CANON/
  std::string Timestamp;    // 2004/05/12 10:20:30, or 2004/05/12 at midnight
  bool Checked = false;
  // The file the row stands for, however its path is spelled; not shown.
  FileIdentity identity = {};
  // The date both date texts were written from; new names are made from it.
  DateKey date = {};

  std::string FullPath() const { return Folder + FileName; }
};

// The row of the file `folder` + `name` on `date`, its texts written from it.
CatalogueRow DatedRow(std::string folder, std::string name, const DateKey& date,
                      bool checked = false, FileIdentity identity = {});

// The main list in display order, top row first.
using FileCatalogue = std::vector<CatalogueRow>;

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_CATALOGUE_ROW_H_
