# kuronel_add_gtest(NAME source...): a GoogleTest program with the test
# helpers, each of its tests registered with CTest. The caller links the
# library it tests (target_link_libraries(NAME PRIVATE kuronel_catalogue)),
# so that the test sees that layer and those below it only. A test of a table of cases is
# named by its case's name (or number), never by a dump of the case's bytes,
# which would change from run to run and lose the test to ctest -R and
# --rerun-failed.
function(kuronel_add_gtest name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kuronel_testing GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    KURONEL_TESTDATA_DIR="${PROJECT_SOURCE_DIR}/testdata")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# kuronel_add_qtest(NAME source...): a Qt Test program over the windows,
# run with the offscreen platform so that no display is needed.
function(kuronel_add_qtest name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE kuronel_qt_testing)
  target_compile_definitions(${name} PRIVATE
    KURONEL_TESTDATA_DIR="${PROJECT_SOURCE_DIR}/testdata")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8"
    TIMEOUT 300)
endfunction()
