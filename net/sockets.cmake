# Socket helpers, socket server threads and adapter listing.
add_library(lv_net STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SocketHelpers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SocketServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Adapters.cpp)
target_include_directories(lv_net PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(lv_net PUBLIC ws2_32 iphlpapi netapi32 winmm PRIVATE lv_warnings)
