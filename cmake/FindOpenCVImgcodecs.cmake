# Finds OpenCV's picture file reading (Debian's libopencv-imgcodecs-dev): the
# imported target OpenCV::imgcodecs.
include(${CMAKE_CURRENT_LIST_DIR}/VraxOpenCVModule.cmake)
vrax_find_opencv_module(OpenCVImgcodecs imgcodecs opencv2/imgcodecs.hpp)
