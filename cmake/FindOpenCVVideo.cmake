# Finds OpenCV's video I/O (Debian's libopencv-videoio-dev, which reads and
# writes through FFmpeg and V4L2): the imported target OpenCV::videoio.
include(${CMAKE_CURRENT_LIST_DIR}/VraxOpenCVModule.cmake)
vrax_find_opencv_module(OpenCVVideo videoio opencv2/videoio.hpp)
