#include "ui/startup_values.h"

#include "platform/system.h"
#include "settings/settings_io.h"

namespace kuronel {

StartupValues LoadStartupValues() {
  StartupValues values;
  SystemCalls& calls = RealSystemCalls();
  values.startup_folder = CurrentDirectory(calls);
  values.settings_status =
      LoadSettings(values.startup_folder, values.settings, calls);
  return values;
}

}  // namespace kuronel
