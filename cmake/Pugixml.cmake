# pugixml, unpacked from Debian's source package by scripts/setup.sh, built as a static library
# for both builds. LV_PUGIXML_SOURCE is its one source file, for targets that compile it in with
# their own instrumentation (the native tests and the fuzz targets).
set(LV_PUGIXML_DIR ${CMAKE_SOURCE_DIR}/build/third_party/pugixml-1.13/src
    CACHE PATH "pugixml's src folder (scripts/setup.sh unpacks it)")
set(LV_PUGIXML_SOURCE ${LV_PUGIXML_DIR}/pugixml.cpp)
if(NOT EXISTS ${LV_PUGIXML_SOURCE})
  message(FATAL_ERROR "pugixml is missing: ${LV_PUGIXML_SOURCE} does not exist. "
                      "Run scripts/setup.sh, which downloads it from Debian and checks it.")
endif()
# No XPath (not used), no exceptions (failures are results); the parser never loads anything
# from outside the buffer it is given and expands only the predefined and numeric entities.
set(LV_PUGIXML_DEFINITIONS PUGIXML_NO_XPATH PUGIXML_NO_EXCEPTIONS PUGIXML_NO_STL)
add_library(lv_pugixml STATIC ${LV_PUGIXML_SOURCE})
target_include_directories(lv_pugixml SYSTEM PUBLIC ${LV_PUGIXML_DIR})
target_compile_definitions(lv_pugixml PUBLIC ${LV_PUGIXML_DEFINITIONS})
