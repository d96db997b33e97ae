# Finds OpenCV's DNN, imgproc and core modules without the whole OpenCV
# development bundle, and provides the imported target OpenCV::dnn.
find_path(OpenCVDnn_INCLUDE_DIR opencv2/dnn.hpp PATH_SUFFIXES opencv4)
find_library(OpenCVDnn_dnn_LIBRARY opencv_dnn)
find_library(OpenCVDnn_imgproc_LIBRARY opencv_imgproc)
find_library(OpenCVDnn_core_LIBRARY opencv_core)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCVDnn REQUIRED_VARS OpenCVDnn_INCLUDE_DIR
  OpenCVDnn_dnn_LIBRARY OpenCVDnn_imgproc_LIBRARY OpenCVDnn_core_LIBRARY)
if(OpenCVDnn_FOUND AND NOT TARGET OpenCV::dnn)
  add_library(OpenCV::dnn INTERFACE IMPORTED)
  # The platform-specific cvconfig.h lives in a multiarch folder beside the headers.
  file(GLOB _vrax_cv_arch_dirs LIST_DIRECTORIES true /usr/include/*-linux-gnu/opencv4)
  target_include_directories(OpenCV::dnn INTERFACE ${OpenCVDnn_INCLUDE_DIR} ${_vrax_cv_arch_dirs})
  target_link_libraries(OpenCV::dnn INTERFACE ${OpenCVDnn_dnn_LIBRARY}
    ${OpenCVDnn_imgproc_LIBRARY} ${OpenCVDnn_core_LIBRARY})
endif()
mark_as_advanced(OpenCVDnn_INCLUDE_DIR OpenCVDnn_dnn_LIBRARY OpenCVDnn_imgproc_LIBRARY OpenCVDnn_core_LIBRARY)
