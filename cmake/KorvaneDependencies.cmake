# Every dependency is a Debian package; nothing is vendored.
find_package(Threads REQUIRED)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Charts PrintSupport Test)

# Debian ships OpenCV's core and imgproc without a CMake package; locate them directly.
find_path(KORVANE_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
find_library(KORVANE_OPENCV_CORE_LIB opencv_core REQUIRED)
find_library(KORVANE_OPENCV_IMGPROC_LIB opencv_imgproc REQUIRED)
add_library(korvane_opencv INTERFACE)
target_include_directories(korvane_opencv SYSTEM INTERFACE ${KORVANE_OPENCV_INCLUDE_DIR})
target_link_libraries(korvane_opencv INTERFACE ${KORVANE_OPENCV_IMGPROC_LIB}
                      ${KORVANE_OPENCV_CORE_LIB})

if(KORVANE_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(KORVANE_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
