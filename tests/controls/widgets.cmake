# The owner-drawn combo box, slider, list box and progress bar, driven in process under the lab's
# X display.
lv_add_test(lv_widget_tests
  SOURCES WidgetComboTest.cpp WidgetSliderTest.cpp WidgetListBoxTest.cpp WidgetProgressTest.cpp
          WidgetTestSupport.cpp SkinTestSupport.cpp WidgetTestDialog.rc
  LIBS lv_widgets)
target_include_directories(lv_widget_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/WidgetTestDialog.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/WidgetThumbTest.bmp)
