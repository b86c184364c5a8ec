# lv_listctrl: the owner-drawn report list CMyListCtrl with its header CMyHeaderCtrl, and the
# number helpers for plain list views.
add_library(lv_listctrl STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ListCtrlValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyHeaderCtrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyListCtrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyListCtrlInput.cpp)
target_include_directories(lv_listctrl PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(lv_listctrl PUBLIC lv_platform lv_skin comctl32 gdi32 msimg32 PRIVATE lv_warnings)
