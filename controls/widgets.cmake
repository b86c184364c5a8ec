# lv_widgets: the owner-drawn combo box, slider, list box and progress bar.
add_library(lv_widgets STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MyComboBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MySliderCtrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyListBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyProgressCtrl.cpp)
target_include_directories(lv_widgets PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(lv_widgets PUBLIC lv_platform lv_skin comctl32 gdi32 msimg32 PRIVATE lv_warnings)
