#include "catalogue/catalogue_row.h"

#include <utility>

namespace kuronel {

CatalogueRow DatedRow(std::string folder, std::string name, const DateKey& date,
                      bool checked, FileIdentity identity) {
  return CatalogueRow{DisplayKind(date),
                      std::move(name),
                      std::move(folder),
                      TimestampText(date),
                      checked,
                      identity,
                      date};
}

}  // namespace kuronel
