sonivane_test(modelstore_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/modelstore/ModelStoreTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/modelstore/LoopbackHttpServer.cpp
  LIBS sonivane_modelstore Threads::Threads
  LABELS platform)
