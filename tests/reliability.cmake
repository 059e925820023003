# Tests of how the tool behaves on damaged volumes, hostile names, a read-only
# source and a full output folder, and the replay of inputs the fuzzers found.
set(VERANDOL_FUZZ_ENTRIES
  ${PROJECT_SOURCE_DIR}/fuzz/boot_sector_entry.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/record_entry.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/run_list_entry.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/volume_entry.cpp)

verandol_unit_test(test_fuzz_regressions test_fuzz_regressions.cpp ${VERANDOL_FUZZ_ENTRIES})
target_compile_definitions(test_fuzz_regressions PRIVATE VERANDOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
