# The sources of the library kuronel_processing, also compiled by the fuzz build.
set(KURONEL_PROCESSING_SOURCES
  new_name_plan.cpp
  plan_columns.cpp
  plan_execution.cpp
  run_outcome.cpp
  run_lock.cpp
  session.cpp
  shot_names.cpp
  source_removal.cpp
)
