# The desktop program: the list window and the main window as two libraries, the list
# window's below the main window's, and the zelworld executable.
find_package(Qt6 REQUIRED COMPONENTS Widgets Charts)

# zelworld-plot: charts of sweep aggregates without a screen. The chart code is a library
# of its own, so that the window shows the same chart.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_library(zel_plot STATIC Plot/SweepChart.cpp)
zel_expose(zel_plot Plot)
target_link_libraries(zel_plot PUBLIC zel_experiment Qt6::Widgets Qt6::Charts Qt6::Svg PRIVATE zel_warnings)

add_executable(zelworld-plot Plot/main.cpp)
target_link_libraries(zelworld-plot PRIVATE zel_plot zel_warnings)

# The best-program list window knows nothing of the main window: it says which program was chosen.
add_library(zel_list STATIC ZELList/ZELList.h ZELList/ZELList.cpp)
zel_expose(zel_list ZELList)
set_target_properties(zel_list PROPERTIES AUTOMOC ON)
target_link_libraries(zel_list PUBLIC Qt6::Widgets PRIVATE zel_warnings)

add_library(zel_gui STATIC
  ZELWorldHome/ControlKit.cpp
  ZELWorldHome/EvolChart.cpp
  ZELWorldHome/FSImage.cpp
  ZELWorldHome/ParameterPanel.h
  ZELWorldHome/ParameterPanel.cpp
  ZELWorldHome/QtDisplay.cpp
  ZELWorldHome/ResultsPanel.h
  ZELWorldHome/ResultsPanel.cpp
  ZELWorldHome/RunPresenter.h
  ZELWorldHome/RunPresenter.cpp
  ZELWorldHome/RunToolBar.h
  ZELWorldHome/RunToolBar.cpp
  ZELWorldHome/RunWorker.cpp
  ZELWorldHome/SpinEdit.cpp
  ZELWorldHome/ZELWorldHome.h
  ZELWorldHome/ZELWorldHome.cpp)
zel_expose(zel_gui ZELWorldHome)
set_target_properties(zel_gui PROPERTIES AUTOMOC ON)
target_link_libraries(zel_gui PUBLIC zel_list zel_experiment zel_plot Qt6::Widgets Qt6::Charts PRIVATE zel_warnings)

add_executable(zelworld ZELWorld.cpp)
target_link_libraries(zelworld PRIVATE zel_gui zel_warnings)
