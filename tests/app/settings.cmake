# The settings dialogs (single camera and group) driven in process, alone and opened by the main
# window, against the camera simulator in the lab; their templates read back from the resources.
lv_add_test(lv_app_settings_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SettingsTestSupport.cpp
          ${CMAKE_CURRENT_LIST_DIR}/AppTestSupport.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../dialogkit/MyDialogTestSupport.cpp
          ${CMAKE_CURRENT_LIST_DIR}/DeviceSetDlgTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/GroupSetDlgTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SettingsTemplateTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SettingsFlowTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ChangeCheckFlowTest.cpp
          ${LV_APP_RC}
  LIBS lv_app)
target_include_directories(lv_app_settings_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/../dialogkit ${LV_APP_RC_DIR})
