#include "ui/startup_values.h"

#include "platform/system.h"
#include "settings/settings_io.h"

namespace kuronel {

StartupValues LoadStartupValues() {
  StartupValues values;
  values.startup_folder = CurrentDirectory();
  values.settings_status = LoadSettings(values.startup_folder, values.settings);
  return values;
}

}  // namespace kuronel
