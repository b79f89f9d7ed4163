# The sources of the library kuronel_exif, also compiled by the fuzz build.
set(KURONEL_EXIF_SOURCES
  byte_reader.cpp
  byte_source.cpp
  exif_entry.cpp
  exif_info.cpp
  exif_labels.cpp
  exif_locate.cpp
  exif_tag_rules.cpp
  exif_walk.cpp
  user_comment.cpp
)
