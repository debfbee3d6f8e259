# The byte-by-byte file builders the tests and the fuzz seeds share; free of
# GoogleTest so that the fuzz build, which has no tests, can use them too.
if(NOT TARGET auralyn_test_bytes)
  add_library(auralyn_test_bytes STATIC ${CMAKE_CURRENT_LIST_DIR}/little_endian.cpp ${CMAKE_CURRENT_LIST_DIR}/wave_bytes.cpp)
  target_include_directories(auralyn_test_bytes PUBLIC ${CMAKE_CURRENT_LIST_DIR})
endif()
