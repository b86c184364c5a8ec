# lv_dialog: CMyDialog, the base of every window (dialog base, language files; frame and painting
# in MyDialogFrame.cpp, commands and input in MyDialogInput.cpp, serial choice buttons in
# MyDialogSerial.cpp).
#
# The control libraries are linked when their targets exist (they are defined after this folder,
# so the test happens at generation time); the skinning pass attaches only the kinds whose
# library is linked (LV_DIALOG_HAS_BUTTONS / _WIDGETS / _LISTCTRL).
add_library(lv_dialog STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MyDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyDialogLanguage.cpp)
foreach(part Frame Input Serial)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/MyDialog${part}.cpp)
    string(TOUPPER ${part} part_upper)
    target_sources(lv_dialog PRIVATE ${CMAKE_CURRENT_LIST_DIR}/MyDialog${part}.cpp)
    target_compile_definitions(lv_dialog PRIVATE LV_DIALOG_HAS_${part_upper}=1)
  endif()
endforeach()
target_include_directories(lv_dialog PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(lv_dialog
  PUBLIC lv_platform lv_threadhost lv_profile lv_skin lv_text user32 gdi32 comctl32 shell32
         $<$<TARGET_EXISTS:lv_buttons>:lv_buttons>
         $<$<TARGET_EXISTS:lv_widgets>:lv_widgets>
         $<$<TARGET_EXISTS:lv_listctrl>:lv_listctrl>
  PRIVATE lv_warnings)
target_compile_definitions(lv_dialog PRIVATE
  $<$<TARGET_EXISTS:lv_buttons>:LV_DIALOG_HAS_BUTTONS=1>
  $<$<TARGET_EXISTS:lv_widgets>:LV_DIALOG_HAS_WIDGETS=1>
  $<$<TARGET_EXISTS:lv_listctrl>:LV_DIALOG_HAS_LISTCTRL=1>)
