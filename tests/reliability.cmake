# Tests of how the tool behaves on damaged volumes, hostile names, a read-only
# source and a full output folder, and the replay of inputs the fuzzers found.
# The shared helpers are built once for all these tests; the fuzz entries
# come from fuzz/.
add_library(verandol_reliability_support STATIC reliability_support.cpp)
target_compile_options(verandol_reliability_support PRIVATE ${VERANDOL_WARNINGS})
target_link_libraries(verandol_reliability_support PUBLIC verandol_test_support verandol_fuzz_entries
  verandol_scan verandol_recover)

verandol_unit_test(test_damage test_damage.cpp)
target_link_libraries(test_damage PRIVATE verandol_reliability_support)

verandol_unit_test(test_fuzz_regressions test_fuzz_regressions.cpp)
target_link_libraries(test_fuzz_regressions PRIVATE verandol_reliability_support)
target_compile_definitions(test_fuzz_regressions PRIVATE VERANDOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

verandol_unit_test(test_read_only_source test_read_only_source.cpp)
target_link_libraries(test_read_only_source PRIVATE verandol_reliability_support)

verandol_unit_test(test_hostile_names test_hostile_names.cpp)
target_link_libraries(test_hostile_names PRIVATE verandol_reliability_support)

verandol_unit_test(test_full_output test_full_output.cpp)
target_link_libraries(test_full_output PRIVATE verandol_reliability_support)

verandol_unit_test(test_realworld test_realworld.cpp)
target_link_libraries(test_realworld PRIVATE verandol_reliability_support)
