# Build-time constants shown in the banner and in the build context of
# diagnostic reports.
string(TIMESTAMP TABCOPY_BUILD_DATE "%Y-%m-%d")
string(TIMESTAMP TABCOPY_BUILD_TIME "%H:%M:%S")
string(TIMESTAMP TABCOPY_BUILD_EPOCH "%s")
cmake_host_system_information(RESULT TABCOPY_BUILD_HOST QUERY HOSTNAME)
set(TABCOPY_BUILD_ARCH "${CMAKE_SYSTEM_PROCESSOR}")
if(CMAKE_BUILD_TYPE MATCHES "Debug")
  set(TABCOPY_BUILD_CONFIG "Debug")
else()
  set(TABCOPY_BUILD_CONFIG "Release")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/kvbuild.h.in
               ${PROJECT_BINARY_DIR}/generated/kvbuild.h @ONLY)
