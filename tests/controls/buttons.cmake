# Skinned push buttons, check boxes and radio buttons, painted and driven in process.
lv_add_test(lv_button_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ButtonDefaultsTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ButtonDrawTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ButtonCheckTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ButtonTestSupport.cpp
  LIBS lv_buttons)
