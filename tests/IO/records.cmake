include_guard(GLOBAL)
# Layout of every scanner record, and the PC clock, lock text and structure-version helpers.
# Included from the IO tests' CMakeLists.txt.
zr_add_test(record_layout_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RecordLayoutTest.cpp
  LIBS zr_records zr_platform)
