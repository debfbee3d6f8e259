# nlohmann-json for the cross build: the header-only library from the build
# machine, seen through a folder that holds nothing but it and CLI11.
set(nlohmann_json_VERSION 3.11.2)
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                        INTERFACE_INCLUDE_DIRECTORIES "${AURALYN_HOST_HEADERS}")
endif()
