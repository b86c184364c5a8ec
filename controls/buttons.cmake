# lv_buttons: the skinned push buttons (CMyButton, with the "ButtonDefault.ini" defaults) and the
# skinned check boxes and radio buttons (CMyCheckButton).
add_library(lv_buttons STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ButtonCaption.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ButtonDefaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ColorText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ButtonToolTip.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyButton.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyCheckButton.cpp)
target_include_directories(lv_buttons PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(lv_buttons PUBLIC lv_platform lv_skin lv_profile comctl32 gdi32 msimg32 PRIVATE lv_warnings)
