# Socket helpers, socket servers and adapter listing, under Wine inside the lab.
lv_add_test(net_sockets_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SocketHelpersTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SocketServerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MySocketTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AdaptersTest.cpp
  LIBS lv_net)
