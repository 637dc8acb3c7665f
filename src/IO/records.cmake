include_guard(GLOBAL)
# The scanner records (header-only layouts) and the helpers that build the PC clock record, the
# lock text and the structure-version text. Included from the IO folder's CMakeLists.txt;
# paths are relative to this file so it works from any including folder.
add_library(zr_records STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FCLRecords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FCLRecords.h
  ${CMAKE_CURRENT_LIST_DIR}/FCLSettings.h
  ${CMAKE_CURRENT_LIST_DIR}/FCLDevice.h
  ${CMAKE_CURRENT_LIST_DIR}/FCLCodes.h
  ${CMAKE_CURRENT_LIST_DIR}/FCLCommand.h
)
target_link_libraries(zr_records PUBLIC zr_platform_core Qt6::Core)
