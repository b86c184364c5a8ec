# Socket helpers, socket server threads, the CMySocket endpoint and adapter listing.
add_library(lv_net STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SocketHelpers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SocketServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MySocket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Adapters.cpp)
target_include_directories(lv_net PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
# lv_threadhost (dialogkit/) is defined after this folder; the name resolves at generation.
target_link_libraries(lv_net PUBLIC lv_threadhost ws2_32 iphlpapi netapi32 winmm PRIVATE lv_warnings)
