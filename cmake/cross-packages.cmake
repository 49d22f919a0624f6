# What a cross build takes from this machine besides the cross compiler:
# the header-only libraries, which hold no code for any one platform, and
# GoogleTest, built from Debian's sources with the cross compiler. The
# headers are linked into a folder of their own, since adding the host's
# /usr/include would let its C library headers in.
set(TARVIDON_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${TARVIDON_HOST_HEADERS})

function(tarvidon_host_header_package package target header_dir)
  if(NOT IS_DIRECTORY /usr/include/${header_dir})
    message(FATAL_ERROR "/usr/include/${header_dir} is missing: run scripts/install-deps with the windows_packages")
  endif()
  file(CREATE_LINK /usr/include/${header_dir} ${TARVIDON_HOST_HEADERS}/${header_dir} SYMBOLIC)
  set(config_dir ${CMAKE_BINARY_DIR}/cross-packages/${package})
  file(WRITE ${config_dir}/${package}Config.cmake
    "if(NOT TARGET ${target})\n"
    "  add_library(${target} INTERFACE IMPORTED)\n"
    "  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${TARVIDON_HOST_HEADERS})\n"
    "endif()\n")
  set(${package}_DIR ${config_dir} CACHE PATH "" FORCE)
endfunction()

tarvidon_host_header_package(CLI11 CLI11::CLI11 CLI)
tarvidon_host_header_package(nlohmann_json nlohmann_json::nlohmann_json nlohmann)

set(TARVIDON_GOOGLETEST_SOURCE /usr/src/googletest/googletest)
if(NOT EXISTS ${TARVIDON_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "${TARVIDON_GOOGLETEST_SOURCE} is missing: install Debian's googletest package")
endif()
