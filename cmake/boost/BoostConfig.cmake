# Boost for cross builds: its headers only (see HeaderOnlyPackage.cmake); the project uses
# only header-only parts of Boost (the distributions of Boost.Math, a SHA-1).
include(${CMAKE_CURRENT_LIST_DIR}/../HeaderOnlyPackage.cmake)
zel_header_only_package(Boost::headers boost)
set(Boost_FOUND TRUE)
