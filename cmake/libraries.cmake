# How the kit's libraries are declared; included by the top-level CMakeLists.txt.

# auralyn_library(NAME [SOURCES file...] [PUBLIC lib...] [PRIVATE lib...])
# One static library: SOURCES, or else every .cpp file in the calling folder.
# Whoever links it includes its headers from src/ ("<folder>/<file>.h").
function(auralyn_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;PUBLIC;PRIVATE")
  set(sources ${arg_SOURCES})
  if(NOT sources)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(arg_PUBLIC)
    target_link_libraries(${name} PUBLIC ${arg_PUBLIC})
  endif()
  if(arg_PRIVATE)
    target_link_libraries(${name} PRIVATE ${arg_PRIVATE})
  endif()
endfunction()

# auralyn_pkg_config(PREFIX MODULE): looks MODULE up with pkg-config, quietly;
# PREFIX_FOUND says whether it was found, PkgConfig::PREFIX is its target. A
# macro, so that PREFIX_FOUND is set in the caller's scope.
macro(auralyn_pkg_config prefix module)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(${prefix} QUIET IMPORTED_TARGET ${module})
  endif()
endmacro()

# auralyn_link_if_built(TARGET LIBRARY [DEFINITION])
# Links LIBRARY where this build has it (some need packages a machine may
# lack) and then defines DEFINITION=1, so that the code offers what it brings.
function(auralyn_link_if_built target library)
  if(NOT TARGET ${library})
    return()
  endif()
  target_link_libraries(${target} PUBLIC ${library})
  if(ARGC GREATER 2)
    target_compile_definitions(${target} PUBLIC ${ARGV2}=1)
  endif()
endfunction()

# auralyn_unoptimised_under_sanitizers(FILE...)
# Files of the calling folder that only parse or write text (JSON documents,
# command-line options) are compiled at -O0 in the sanitizer build: their
# template-heavy code takes twice as long to compile optimised, the sanitizers
# check it as well either way, and no test spends long in it.
function(auralyn_unoptimised_under_sanitizers)
  if(AURALYN_SANITIZE AND AURALYN_SANITIZE_UNOPTIMISED_TESTS AND NOT MSVC)
    set_property(SOURCE ${ARGN} APPEND PROPERTY COMPILE_OPTIONS -O0)
  endif()
endfunction()
