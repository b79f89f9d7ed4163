# kuronel_folder_headers(TARGET FOLDER): TARGET and the targets that link it
# include FOLDER's headers as "FOLDER/x.h", and no other folder's.
#
# Every include names its folder ("platform/path.h"), but the repository's
# root is on no include path: each folder has an include root of its own in
# the build tree, holding only a link to that folder. So a file sees the
# headers of its own library and of the libraries that library links, and an
# include of a layer above it (or beside it) fails to compile.
function(kuronel_folder_headers target folder)
  set(root ${PROJECT_BINARY_DIR}/include/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# kuronel_add_layer(FOLDER LOWER_LIBRARY...): the static library
# kuronel_FOLDER of the sources FOLDER/sources.cmake lists, which links the
# libraries of the layers below it and nothing else.
function(kuronel_add_layer folder)
  include(${PROJECT_SOURCE_DIR}/${folder}/sources.cmake)
  string(TOUPPER ${folder} FOLDER)
  list(TRANSFORM KURONEL_${FOLDER}_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/${folder}/)
  add_library(kuronel_${folder} STATIC ${KURONEL_${FOLDER}_SOURCES})
  kuronel_folder_headers(kuronel_${folder} ${folder})
  target_link_libraries(kuronel_${folder} PUBLIC ${ARGN})
  # The core converts between sizes, offsets and counts everywhere: every
  # narrowing is spelled out, so that none truncates a length unseen (a
  # change of sign alone is not: clang counts it as a conversion, gcc does
  # not, and both compilers must agree).
  target_compile_options(kuronel_${folder} PRIVATE -Wconversion -Wno-sign-conversion)
endfunction()
