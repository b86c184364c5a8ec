# CMyListCtrl and CMyHeaderCtrl, driven in process under the lab's X display.
lv_add_test(lv_listctrl_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ListCtrlStoreTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ListCtrlPaintTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ListCtrlInputTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ListCtrlTestSupport.cpp
  LIBS lv_listctrl)

# Prints the time of a full repaint of one screen of rows and of scrolling, 1000 rows x 7 columns.
add_executable(lv_list_paint_bench ${CMAKE_CURRENT_LIST_DIR}/ListPaintBench.cpp)
target_link_libraries(lv_list_paint_bench PRIVATE lv_listctrl lv_test_support lv_warnings)

# CMyListCtrl reading its rows from a CListRowSource (LVS_OWNERDATA), and its scroll watcher.
lv_add_test(lv_listctrl_ownerdata_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ListCtrlOwnerDataTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ListCtrlTestSupport.cpp
  LIBS lv_listctrl)
