# How a folder of tests becomes an executable, shared by the native build and
# the Windows build (scripts/windows), which include this file.

# auralyn_test_group(NAME SOURCES a.cpp ... [LIBRARIES lib ...]): one executable
# of the folder's tests, its own headers in reach, linked with the shared test
# support, its tests discovered for CTest.
function(auralyn_test_group name)
  cmake_parse_arguments(PARSE_ARGV 1 group "" "" "SOURCES;LIBRARIES")
  add_executable(${name} ${group_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${group_LIBRARIES} auralyn_test_support GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# The same for tests that run the built auralyn, whose path they find in
# AURALYN_PATH; nothing where auralyn is not built.
function(auralyn_program_test_group name)
  if(NOT TARGET auralyn)
    return()
  endif()
  auralyn_test_group(${name} ${ARGN})
  add_dependencies(${name} auralyn)
  target_compile_definitions(${name} PRIVATE AURALYN_PATH="$<TARGET_FILE:auralyn>")
endfunction()
