# Text conversions, run twice: under the lab's Chinese code page (936) and under a Western one
# (1252). Wine takes the ANSI code page from LC_ALL; the tests read GetACP() to pick expectations.
lv_add_test(lv_test_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/TextConvertTest.cpp LIBS lv_text
  ENV LC_ALL=zh_CN.UTF-8)
add_test(NAME lv_test_text_western COMMAND lv_test_text --gtest_color=no)
set_tests_properties(lv_test_text_western PROPERTIES TIMEOUT 600 ENVIRONMENT LC_ALL=en_US.UTF-8)
