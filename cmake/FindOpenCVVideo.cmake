# Finds OpenCV's video I/O, imgproc and core modules (Debian's
# libopencv-videoio-dev, which reads and writes through FFmpeg and V4L2) and
# provides the imported target OpenCV::videoio.
find_path(OpenCVVideo_INCLUDE_DIR opencv2/videoio.hpp PATH_SUFFIXES opencv4)
find_library(OpenCVVideo_videoio_LIBRARY opencv_videoio)
find_library(OpenCVVideo_imgproc_LIBRARY opencv_imgproc)
find_library(OpenCVVideo_core_LIBRARY opencv_core)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCVVideo REQUIRED_VARS OpenCVVideo_INCLUDE_DIR
  OpenCVVideo_videoio_LIBRARY OpenCVVideo_imgproc_LIBRARY OpenCVVideo_core_LIBRARY)
if(OpenCVVideo_FOUND AND NOT TARGET OpenCV::videoio)
  add_library(OpenCV::videoio INTERFACE IMPORTED)
  # The platform-specific cvconfig.h lives in a multiarch folder beside the headers.
  file(GLOB _vrax_cv_arch_dirs LIST_DIRECTORIES true /usr/include/*-linux-gnu/opencv4)
  target_include_directories(OpenCV::videoio INTERFACE ${OpenCVVideo_INCLUDE_DIR} ${_vrax_cv_arch_dirs})
  target_link_libraries(OpenCV::videoio INTERFACE ${OpenCVVideo_videoio_LIBRARY}
    ${OpenCVVideo_imgproc_LIBRARY} ${OpenCVVideo_core_LIBRARY})
endif()
mark_as_advanced(OpenCVVideo_INCLUDE_DIR OpenCVVideo_videoio_LIBRARY OpenCVVideo_imgproc_LIBRARY
  OpenCVVideo_core_LIBRARY)
