# CMyDialog driven in process under the lab's X display, with its own dialog templates.
lv_add_test(lv_dialog_tests
  SOURCES MyDialogTest.cpp MyDialogLanguageTest.cpp MyDialogStressTest.cpp MyDialogFrameTest.cpp MyDialogTestSupport.cpp
          MyDialogInputTest.cpp MyDialogSerialTest.cpp DialogTestDialogs.rc
  LIBS lv_dialog)
target_include_directories(lv_dialog_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
