# A cross build takes the header-only libraries (nlohmann/json, CLI11) from the build machine's
# Debian packages. Their package files would put all of /usr/include on the include path, whose
# C headers are the build machine's and would hide the target's own, so only the libraries' own
# folders are linked into a folder of the build and named as the packages name them.
set(plotvane_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${plotvane_host_headers})
foreach(folder nlohmann CLI)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: scripts/build-windows.sh installs it")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${plotvane_host_headers}/${folder} SYMBOLIC)
endforeach()

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${plotvane_host_headers})
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${plotvane_host_headers})
