# The desktop program: the Qt front-end library and the zelworld executable.
find_package(Qt6 REQUIRED COMPONENTS Widgets Charts)

add_library(zel_gui STATIC
  ZELWorldHome/CommandText.cpp
  ZELWorldHome/FloatText.cpp
  ZELWorldHome/Picture.cpp
  ZELWorldHome/QtDisplay.cpp
  ZELWorldHome/RunWorker.cpp
  ZELWorldHome/SpinEdit.cpp
  ZELWorldHome/ZELWorldHome.cpp
  ZELList/ZELList.cpp)
zel_expose(zel_gui ZELWorldHome ZELList)
target_link_libraries(zel_gui PUBLIC zel_experiment Qt6::Widgets Qt6::Charts PRIVATE zel_warnings)

add_executable(zelworld ZELWorld.cpp)
target_link_libraries(zelworld PRIVATE zel_gui zel_warnings)
