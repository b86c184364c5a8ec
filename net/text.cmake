# Text encoding conversions between the ANSI code page, UTF-8 and UTF-16.
add_library(lv_text STATIC
  ${CMAKE_CURRENT_LIST_DIR}/TextConvert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextReleaseRing.cpp)
target_include_directories(lv_text PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(lv_text PRIVATE lv_warnings)
