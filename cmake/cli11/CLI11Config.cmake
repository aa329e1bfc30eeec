# CLI11 for cross builds: its headers only (see HeaderOnlyPackage.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/../HeaderOnlyPackage.cmake)
zel_header_only_package(CLI11::CLI11 CLI)
set(CLI11_FOUND TRUE)
