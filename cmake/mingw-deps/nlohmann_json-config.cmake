# nlohmann/json for the Windows cross build: the header-only library of the build host, exposed
# through a folder of its own, so that the cross compiler never sees the host's /usr/include.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(_ormandel_json_root ${CMAKE_BINARY_DIR}/mingw-deps/include)
  if(NOT EXISTS ${_ormandel_json_root}/nlohmann)
    file(MAKE_DIRECTORY ${_ormandel_json_root})
    file(CREATE_LINK /usr/include/nlohmann ${_ormandel_json_root}/nlohmann SYMBOLIC)
  endif()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_ormandel_json_root})
endif()
set(nlohmann_json_FOUND TRUE)
