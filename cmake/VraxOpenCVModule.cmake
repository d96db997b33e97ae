# vrax_find_opencv_module(PACKAGE MODULE HEADER): the body of the Find modules
# of OpenCV's parts. Finds opencv_MODULE with imgproc and core (not the whole
# OpenCV development bundle), sets PACKAGE_FOUND and provides the imported
# target OpenCV::MODULE. A macro, so that the results reach find_package().
macro(vrax_find_opencv_module package module header)
  find_path(${package}_INCLUDE_DIR ${header} PATH_SUFFIXES opencv4)
  find_library(${package}_${module}_LIBRARY opencv_${module})
  find_library(${package}_imgproc_LIBRARY opencv_imgproc)
  find_library(${package}_core_LIBRARY opencv_core)
  include(FindPackageHandleStandardArgs)
  find_package_handle_standard_args(${package} REQUIRED_VARS ${package}_INCLUDE_DIR
    ${package}_${module}_LIBRARY ${package}_imgproc_LIBRARY ${package}_core_LIBRARY)
  if(${package}_FOUND AND NOT TARGET OpenCV::${module})
    add_library(OpenCV::${module} INTERFACE IMPORTED)
    # The platform-specific cvconfig.h lives in a multiarch folder beside the headers.
    file(GLOB _vrax_cv_arch_dirs LIST_DIRECTORIES true /usr/include/*-linux-gnu/opencv4)
    target_include_directories(OpenCV::${module} INTERFACE ${${package}_INCLUDE_DIR} ${_vrax_cv_arch_dirs})
    target_link_libraries(OpenCV::${module} INTERFACE ${${package}_${module}_LIBRARY}
      ${${package}_imgproc_LIBRARY} ${${package}_core_LIBRARY})
  endif()
  mark_as_advanced(${package}_INCLUDE_DIR ${package}_${module}_LIBRARY ${package}_imgproc_LIBRARY
    ${package}_core_LIBRARY)
endmacro()
