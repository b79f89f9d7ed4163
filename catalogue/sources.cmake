# The sources of the library kuronel_catalogue, also compiled by the fuzz build.
set(KURONEL_CATALOGUE_SOURCES
  catalogue_builder.cpp
  catalogue_checks.cpp
  catalogue_dates.cpp
  catalogue_order.cpp
  catalogue_row.cpp
  exif_dating.cpp
  folder_listings.cpp
  folder_walk.cpp
  list_splitter.cpp
  timestamp_text.cpp
)
