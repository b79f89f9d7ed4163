#ifndef KURONEL_UI_STARTUP_VALUES_H_
#define KURONEL_UI_STARTUP_VALUES_H_

#include <string>

#include "catalogue/catalogue_order.h"
#include "platform/status.h"
#include "settings/settings.h"

namespace kuronel {

// What the program starts with, read once before any window exists and
// handed to the windows by value.
struct StartupValues {
  // The current directory at start: the folder of Kuronel.ini and of the
  // help file; empty when it cannot be had (it was deleted).
  std::string startup_folder;
  // The settings of Kuronel.ini, or the design values.
  Settings settings;
  // Column 0, descending: the first build lists the newest rows first.
  SortState sort;
  // Why the settings file could not be read as it is; shown once the main
  // window is on the screen.
  Status settings_status = Status::Ok();
};

StartupValues LoadStartupValues();

}  // namespace kuronel

#endif  // KURONEL_UI_STARTUP_VALUES_H_
