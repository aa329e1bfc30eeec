# For cross builds: a library of headers only, from Debian's own headers, but without the
# build machine's /usr/include on the target's include path. Only the library's folder is
# linked into the build tree.
function(zel_header_only_package target folder)
  if(NOT TARGET ${target})
    set(include ${CMAKE_BINARY_DIR}/${folder}-include)
    file(MAKE_DIRECTORY ${include})
    if(NOT EXISTS ${include}/${folder})
      file(CREATE_LINK /usr/include/${folder} ${include}/${folder} SYMBOLIC)
    endif()
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${include})
  endif()
endfunction()
