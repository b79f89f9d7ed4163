# The sources of the library kuronel_settings, also compiled by the fuzz build.
set(KURONEL_SETTINGS_SOURCES
  colour_table.cpp
  option_rule.cpp
  settings_file.cpp
  settings_io.cpp
)
