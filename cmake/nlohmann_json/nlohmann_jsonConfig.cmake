# nlohmann JSON for cross builds: headers only, so Debian's headers serve every target, but
# the build machine's /usr/include must not come onto the target's include path. Only the
# nlohmann directory is linked into the build tree.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(_zel_json ${CMAKE_BINARY_DIR}/json-include)
  file(MAKE_DIRECTORY ${_zel_json})
  if(NOT EXISTS ${_zel_json}/nlohmann)
    file(CREATE_LINK /usr/include/nlohmann ${_zel_json}/nlohmann SYMBOLIC)
  endif()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_zel_json})
endif()
set(nlohmann_json_FOUND TRUE)
