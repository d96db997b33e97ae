# The Debian package: `cmake --build build --target package` writes
# vraxgui_VERSION_ARCH.deb with everything that VraxInstall.cmake installs.
# One package rather than an application, a runtime and a -dev package: the
# runtime is the simulator's stand-in, of use only beside the application and
# its examples, and one file is what `apt install ./vraxgui_*.deb` takes.
set(VRAX_PACKAGE_MAINTAINER "VRAX GUI maintainers <maintainers@vraxgui.example>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vraxgui)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VRAX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only the package itself: no copy of the build or source trees.
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_OUTPUT_FILE_PREFIX "")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VRAX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"run neural networks on VRAX accelerator boards or their simulator
VRAX GUI shows neural networks at work on VRAX accelerator boards, or on
the board simulator that comes with it: open an NN description and
pictures, and run a classifier, a YOLO detector or a segmentation network
on one picture at a time or round and round. The window shows the picture
as the network sees it with the result, and the frame rates.
.
The package also contains vrax-compile, which compiles ONNX and DarkNet
models into binary models ahead of time; the board runtime (libvrax) and
the model compiler (libvrax_compiler) with their C headers, pkg-config
and CMake files for building programs on them; example networks trained
on synthetic shapes, with descriptions and pictures; and manual pages.")
# Dependencies from the binaries' shared libraries; the package's own two
# libraries are found in its tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Loaded at run time, not linked: results are saved as TIFF (and read in more
# formats) through the toolkit's image format plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt5-image-formats-plugins")
# The libraries' cache is renewed by dpkg's trigger (CPack's scripts also
# call ldconfig themselves; lintian only warns about that).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/triggers)

include(CPack)
