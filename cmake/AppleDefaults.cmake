# Defaults for a macOS build, read before project() so the toolchain sees them: macOS 13 and
# both processor families (needs a universal Qt; pass -DCMAKE_OSX_ARCHITECTURES=arm64 otherwise).
if(CMAKE_HOST_APPLE)
  set(CMAKE_OSX_DEPLOYMENT_TARGET 13.0 CACHE STRING "Oldest macOS to run on")
  set(CMAKE_OSX_ARCHITECTURES "arm64;x86_64" CACHE STRING "Processor families to build for")
endif()
