# CMyDialog driven in process under the lab's X display, with its own dialog templates.
lv_add_test(lv_dialog_tests
  SOURCES MyDialogTest.cpp MyDialogLanguageTest.cpp MyDialogStressTest.cpp MyDialogFrameTest.cpp MyDialogTestSupport.cpp
          MyDialogInputTest.cpp MyDialogSerialTest.cpp DialogTestDialogs.rc
  LIBS lv_dialog)
target_include_directories(lv_dialog_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# The free strings (kept as UTF-8) again under a Western code page (1252); the lab's default is
# Chinese (936). The other language texts are in the code page and hold what it holds.
add_test(NAME lv_dialog_language_western COMMAND lv_dialog_tests --gtest_color=no
  --gtest_filter=CDialogLanguageTest.FreeStrings*)
set_tests_properties(lv_dialog_language_western PROPERTIES TIMEOUT 600 ENVIRONMENT LC_ALL=en_US.UTF-8)
