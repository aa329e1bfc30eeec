# The desktop program: the Qt front-end library and the zelworld executable.
find_package(Qt6 REQUIRED COMPONENTS Widgets Charts)

# zelworld-plot: charts of sweep aggregates without a screen. The chart code is a library
# of its own, so that the window shows the same chart.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_library(zel_plot STATIC Plot/SweepChart.cpp)
zel_expose(zel_plot Plot)
target_link_libraries(zel_plot PUBLIC zel_experiment Qt6::Widgets Qt6::Charts Qt6::Svg PRIVATE zel_warnings)

add_executable(zelworld-plot Plot/main.cpp)
target_link_libraries(zelworld-plot PRIVATE zel_plot zel_warnings)

add_library(zel_gui STATIC
  ZELWorldHome/QtDisplay.cpp
  ZELWorldHome/RunWorker.cpp
  ZELWorldHome/SpinEdit.cpp
  ZELWorldHome/ZELWorldHome.cpp
  ZELList/ZELList.cpp)
zel_expose(zel_gui ZELWorldHome ZELList)
target_link_libraries(zel_gui PUBLIC zel_experiment zel_plot Qt6::Widgets Qt6::Charts PRIVATE zel_warnings)

add_executable(zelworld ZELWorld.cpp)
target_link_libraries(zelworld PRIVATE zel_gui zel_warnings)

