# Fails when a source under ROOT includes with "../", which reaches a layer's files without
# going through its library.
file(GLOB_RECURSE sources ${ROOT}/*.h ${ROOT}/*.cpp ${ROOT}/*.inc)
set(found "")
foreach(source ${sources})
  file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]\\.\\./")
  foreach(line ${lines})
    list(APPEND found "${source}: ${line}")
  endforeach()
endforeach()
if(found)
  string(REPLACE ";" "\n" found "${found}")
  message(FATAL_ERROR "Includes that reach around the layering:\n${found}")
endif()
