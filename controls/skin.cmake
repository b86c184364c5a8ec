# lv_skin: skin directories, image loading and drawing, gradients, window utilities, and the
# built-in skin files.
add_library(lv_skin STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SkinFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinImage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinNameText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinPathText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinPicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinWindow.cpp)
target_include_directories(lv_skin PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(lv_skin PUBLIC gdiplus msimg32 comctl32 shell32 ole32 PRIVATE lv_warnings)

# The 67 built-in skin files are RCDATA resources (made by tools/skingen/skingen.py). A resource
# object inside a static library is never pulled into an executable, since nothing refers to it
# by symbol, so the compiled script travels as an interface source: every executable that links
# lv_skin, directly or through another library, links the resource object itself.
add_library(lv_skin_resources OBJECT ${CMAKE_CURRENT_LIST_DIR}/skins/DefaultSkins.rc)
target_include_directories(lv_skin_resources PRIVATE ${CMAKE_CURRENT_LIST_DIR}/skins)
file(GLOB lv_skin_files ${CMAKE_CURRENT_LIST_DIR}/skins/*.bmp ${CMAKE_CURRENT_LIST_DIR}/skins/*.png)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/skins/DefaultSkins.rc PROPERTIES
  OBJECT_DEPENDS "${lv_skin_files}")
target_sources(lv_skin INTERFACE $<TARGET_OBJECTS:lv_skin_resources>)
