#ifndef KURONEL_TESTING_MEMORY_CARD_H_
#define KURONEL_TESTING_MEMORY_CARD_H_

#include <string>
#include <vector>

#include "catalogue/catalogue_row.h"
#include "settings/settings.h"
#include "testing/memory_file_system.h"

namespace kuronel::testing {

// Puts the named files on a card at /c/ of the in-memory disk, each holding
// `prefix` and its name, and catalogues them as shot on 2024-04-01 at 10:00.
inline FileCatalogue MemoryCard(MemoryFileSystem& fs,
                                const std::vector<std::string>& names,
                                const std::string& prefix = "photo ") {
  FileCatalogue catalogue;
  for (const std::string& name : names) {
    fs.WriteFile("/c/" + name, prefix + name);
    catalogue.push_back(
        DatedRow("/c/", name, DateKey{2024, 4, 1, 10, 0, 0}, true));
  }
  return catalogue;
}

// The options of a run from the card into /d/ of the same disk, the copies
// left writable and the originals kept unless `keep` is false.
inline Settings MemoryCardRunOptions(bool keep = true) {
  Settings options;
  options.DestinationFolder = "/d/";
  options.MakeReadOnly = false;
  options.KeepOriginal = keep;
  return options;
}

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_MEMORY_CARD_H_
