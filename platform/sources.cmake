# The platform sources of the core library, also compiled by the fuzz build.
set(KURONEL_PLATFORM_SOURCES
  cp932.cpp
  dir_listing.cpp
  drive_attributes.cpp
  file_attributes.cpp
  file_copy.cpp
  file_io.cpp
  file_result.cpp
  file_removal.cpp
  file_system.cpp
  folder_lock.cpp
  path.cpp
  system.cpp
  system_calls.cpp
  temporaries.cpp
)
