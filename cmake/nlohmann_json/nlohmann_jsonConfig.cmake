# nlohmann JSON for cross builds: its headers only (see HeaderOnlyPackage.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/../HeaderOnlyPackage.cmake)
zel_header_only_package(nlohmann_json::nlohmann_json nlohmann)
set(nlohmann_json_FOUND TRUE)
