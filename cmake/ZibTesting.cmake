include(GoogleTest)
find_package(GTest REQUIRED)

# zib_add_gtest(<name> SOURCES ... LIBS ... [LABELS ...] [ENVIRONMENT ...] [TIMEOUT s])
# Widget tests run on Qt's offscreen platform; a GTEST_SKIP() shows as "Skipped" in ctest.
function(zib_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main zib_includes zib_warnings)
  # The environment goes in through a launcher: the discovered tests' ENVIRONMENT property
  # would split at the separators between variables.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "${CMAKE_COMMAND};-E;env;QT_QPA_PLATFORM=offscreen;ZIB_SOURCE_DIR=${PROJECT_SOURCE_DIR};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;${ARG_ENVIRONMENT}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      LABELS "${ARG_LABELS}"
      TIMEOUT ${ARG_TIMEOUT}
      SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
      )
endfunction()
