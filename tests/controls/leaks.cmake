# One leak check over every owner-drawn paint path, counting the process's live GDI and GDI+
# objects.
lv_add_test(lv_paint_leak_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PaintLeakTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WidgetTestSupport.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SkinTestSupport.cpp ${CMAKE_CURRENT_LIST_DIR}/WidgetTestDialog.rc
          ${CMAKE_CURRENT_LIST_DIR}/../dialogkit/DialogTestDialogs.rc
  LIBS lv_widgets lv_buttons lv_listctrl lv_dialog lv_test_gdi)
target_include_directories(lv_paint_leak_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/../dialogkit)
