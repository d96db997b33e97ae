# Finds OpenCV's DNN module: the imported target OpenCV::dnn.
include(${CMAKE_CURRENT_LIST_DIR}/VraxOpenCVModule.cmake)
vrax_find_opencv_module(OpenCVDnn dnn opencv2/dnn.hpp)
