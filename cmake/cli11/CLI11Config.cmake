# CLI11 for cross builds: it is headers only, so Debian's headers serve every target, but
# the build machine's /usr/include must not come onto the target's include path. Only the
# CLI directory is linked into the build tree.
if(NOT TARGET CLI11::CLI11)
  set(_zel_cli11 ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${_zel_cli11})
  if(NOT EXISTS ${_zel_cli11}/CLI)
    file(CREATE_LINK /usr/include/CLI ${_zel_cli11}/CLI SYMBOLIC)
  endif()
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_zel_cli11})
endif()
set(CLI11_FOUND TRUE)
